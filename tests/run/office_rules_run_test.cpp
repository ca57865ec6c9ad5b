// Whole runs with the office's rules file: its rules after rule 113 in every result, the same for
// any number of threads, and a runaway statement cut off at the file's limit.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "run/driver.h"
#include "run/office_rules_check.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"
#include "xls/workbook.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using test::WorkingDb;

constexpr const char* kOther = "DFSSA000002";

std::string fileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The first cell of each row of a sheet, header row left out, as the reader shows it.
std::vector<std::string> firstColumn(const fs::path& book, const std::string& sheet) {
  std::vector<std::string> cells;
  const test::SheetCells rows = test::sheet(test::readBack(book), sheet);
  for (std::size_t r = 1; r < rows.size(); ++r) cells.push_back(rows[r].at(0));
  return cells;
}

class OfficeRulesRun : public ::testing::Test {
 protected:
  OfficeRulesRun() : session(dir / "programa") {}

  // Unit DFSSA000001: a file number with a letter, a patient of 115 years and a principal
  // condition repeated among the further ones; unit DFSSA000002: one more of the first kind.
  void SetUp() override {
    {
      WorkingDb source(dir / "origen.db");
      source.egreso({{"expediente", "1234A678"}});
      source.egreso({{"expediente", "12345678"}, {"edad", 115}});
      source.egreso({{"expediente", "12345679"}, {"afecprin", "J189"}});
      source.afecciones({{"afec", "J189"}});
      source.egreso({{"clues", kOther}, {"expediente", "X1"}});
      source.insert("CATCLUES", {{"CLUES", kOther}, {"DESCUNIDAD", "CLINICA NORTE"}});
      WorkingDb catalogue(dir / "catalogo.db");
      for (int rule : {1, 113})
        catalogue.insert("catValidaciones",
                         {{"Validacion", rule}, {"Descripcion", "del catálogo"}});
    }
    session.resultsFolder = dir / "R";
    openDatabases(session, dir / "origen.db", {}, dir / "catalogo.db");
    engine::StatementLog log;
    units = CargaUnidades(session.cnnOrigen, log);
  }

  RunOutcome validate(const fs::path& rulesFile, const fs::path& results, unsigned threads = 0) {
    RunRequest request = test::requestFor(session, units, nullptr, nullptr, threads);
    request.resultsFolder = results;
    request.officeRules = checkedOfficeRules(rules::readOfficeRules(rulesFile), session);
    return runValidation(request);
  }

  test::TempDir dir;
  Session session;
  std::vector<Unit> units;
};

TEST_F(OfficeRulesRun, TheExampleRulesFollowRule113InEveryResult) {
  const fs::path example = test::sourceDir() / "docs" / "examples" / "ReglasAdicionales.toml";
  const RunOutcome outcome = validate(example, dir / "R1", 1);
  ASSERT_FALSE(outcome.errorReport);
  EXPECT_EQ(outcome.failedStatements, 0);

  // The unit's sheets in number order, the office's after the catalogue's.
  const fs::path book = dir / "R1" / "ValDFSSA000001.xls";
  std::vector<int> numbers;
  for (const std::string& name : xls::sheetNames(book))
    if (name.starts_with("Validacion")) numbers.push_back(std::stoi(name.substr(10)));
  ASSERT_GE(numbers.size(), 3u);
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
  EXPECT_EQ(std::vector<int>(numbers.end() - 3, numbers.end()), (std::vector<int>{114, 115, 116}));
  EXPECT_EQ(xls::sheetNames(book).back(), "catValidaciones");
  EXPECT_EQ(firstColumn(book, "catValidaciones"),
            (std::vector<std::string>{"number:1", "number:113", "number:114", "number:115",
                                      "number:116"}));
  EXPECT_EQ(firstColumn(book, "Validacion114").size(), 1u);

  // The findings: a column and a row for each of the office's rules, after rule 113's.
  const test::ReadBack findings = test::readBack(dir / "R1" / "Hallazgos.xls");
  const test::SheetCells byUnit = test::sheet(findings, "PorUnidad");
  const std::vector<std::string>& header = byUnit.at(0);
  EXPECT_EQ(std::vector<std::string>(header.end() - 4, header.end()),
            (std::vector<std::string>{"text:V113", "text:V114", "text:V115", "text:V116"}));
  EXPECT_EQ(std::vector<std::string>(byUnit.at(1).end() - 3, byUnit.at(1).end()),
            (std::vector<std::string>{"number:1", "number:1", "number:1"}));
  const test::SheetCells byRule = test::sheet(findings, "PorRegla");
  EXPECT_EQ(byRule.back().at(0), "number:116");
  EXPECT_EQ(byRule.at(byRule.size() - 3).at(3), "number:2");  // rule 114 in both units

  // Any number of threads, the same files.
  ASSERT_FALSE(validate(example, dir / "R2", 2).errorReport);
  for (const char* name : {"ValDFSSA000001.xls", "ValDFSSA000002.xls", "ResultadosVal.xls"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(fileText(dir / "R1" / name), fileText(dir / "R2" / name));
  }
  // Hallazgos.xls's sheet Ejecucion says when each run ran; the counts must agree.
  const test::ReadBack findings2 = test::readBack(dir / "R2" / "Hallazgos.xls");
  for (const char* name : {"PorUnidad", "PorRegla"})
    EXPECT_EQ(test::sheet(findings, name), test::sheet(findings2, name)) << name;
}

TEST_F(OfficeRulesRun, ACrossJoinPastTheLimitLeavesTheUnitIncompleteAndNamesTheRule) {
  // A clean unit with enough discharges that six copies of EGRESO crossed take hours, not one
  // second.
  {
    WorkingDb source(dir / "cruce.db");
    WorkingDb catalogue(dir / "catalogo-cruce.db");
    for (int i = 0; i < 60; ++i) source.egreso();
  }
  openDatabases(session, dir / "cruce.db", {}, dir / "catalogo-cruce.db");
  units = {Unit{"DFSSA000001", "HOSPITAL GENERAL"}};
  const fs::path file = dir / "ReglasAdicionales.toml";
  std::ofstream(file) << "limite_segundos = 1\n[[regla]]\nnumero = 114\ndescripcion = 'cruce'\n"
                         "sentencias = [\"select a.folio Into Validacion114 From egreso AS a, "
                         "egreso AS b, egreso AS c, egreso AS d, egreso AS e, egreso AS f WHERE "
                         "a.folio & b.folio & c.folio & d.folio & e.folio & f.folio = 'x'\"]\n";
  const RunOutcome outcome = validate(file, dir / "R");
  ASSERT_EQ(outcome.units.size(), 1u);
  EXPECT_EQ(outcome.units[0].verdict, "VALIDACION INCOMPLETA");
  EXPECT_EQ(outcome.failedStatements, 1);
  const std::string log = fileText(dir / "R" / "Validacion.log");
  EXPECT_NE(log.find("regla 114\tselect a.folio Into Validacion114"), std::string::npos) << log;
  EXPECT_NE(log.find("límite de 1 segundo."), std::string::npos) << log;
}

}  // namespace
}  // namespace kolt::run
