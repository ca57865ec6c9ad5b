// Whole runs with the office's rules file: the example rules (docs/examples/ReglasAdicionales.toml)
// find the demonstration's deliberate errors and nothing in its clean unit, every result lists
// them after rule 113, and a runaway statement is cut off at the file's limit.
#include <gtest/gtest.h>

#include <fstream>

#include "run/driver.h"
#include "run/office_rules_check.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"
#include "xls/workbook.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using Cells = std::vector<std::string>;

// A run of dir/origen.db's units with the rules file and app's catalogue, into dir/R.
RunOutcome validate(const test::TempDir& dir, const fs::path& app, const fs::path& rules) {
  Session session(app);
  session.resultsFolder = dir / "R";
  openDatabases(session, dir / "origen.db");
  engine::StatementLog log;
  RunRequest request = test::requestFor(session, CargaUnidades(session.cnnOrigen, log));
  request.officeRules = checkedOfficeRules(rules::readOfficeRules(rules), session);
  return runValidation(request);
}

TEST(OfficeRulesRun, TheExampleRulesFindTheDemonstrationsErrorsAfterRule113InEveryResult) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  test::TempDir dir;
  std::string out;
  ASSERT_EQ(test::runProgram("kolt-generar",
                             {(dir / "origen.db").string(), "--egresos", "3000", "--unidades", "5",
                              "--limpias", "1", "--errores", "0.1"},
                             out),
            0)
      << out;
  const RunOutcome outcome = validate(dir, test::binaryDir() / "bin",
                                      test::sourceDir() / "docs/examples/ReglasAdicionales.toml");
  ASSERT_EQ(outcome.units.size(), 5u);
  EXPECT_EQ(outcome.failedStatements, 0);
  EXPECT_EQ(outcome.units[0].verdict, "CORRECTA");
  std::map<int, std::int64_t> rows;
  for (const auto& unit : outcome.units)
    for (const auto& rule : unit.rules) rows[rule.number] += rule.rows;
  for (int number : {114, 115, 116}) EXPECT_GT(rows[number], 0) << "regla " << number;

  // Each unit's sheets in number order; its catValidaciones rows end with the office's.
  for (const auto& unit : outcome.units) {
    const fs::path book = dir / "R" / ("Val" + unit.unit + ".xls");
    if (!fs::exists(book)) continue;
    std::vector<int> numbers;
    for (const std::string& name : xls::sheetNames(book))
      if (name.starts_with("Validacion")) numbers.push_back(std::stoi(name.substr(10)));
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end())) << book;
    std::string described;
    for (const auto& row : test::sheet(test::readBack(book), "catValidaciones"))
      described += row.at(0) + " " + row.at(1).substr(0, 11) + ", ";
    EXPECT_TRUE(described.ends_with(
        "number:114 text:Egreso, number:115 text:Egreso, number:116 text:Egreso, "))
        << described;
  }
  // Hallazgos.xls: a column and a row for each of them, after rule 113's.
  const test::ReadBack findings = test::readBack(dir / "R" / "Hallazgos.xls");
  const Cells header = test::sheet(findings, "PorUnidad").at(0);
  EXPECT_EQ(Cells(header.end() - 4, header.end()),
            (Cells{"text:V113", "text:V114", "text:V115", "text:V116"}));
  EXPECT_EQ(test::sheet(findings, "PorRegla").back().at(0), "number:116");
}

TEST(OfficeRulesRun, ACrossJoinPastTheLimitLeavesTheUnitIncompleteAndNamesTheRule) {
  // A clean unit with enough discharges that six copies of EGRESO crossed take hours, not one
  // second.
  test::TempDir dir;
  {
    test::WorkingDb source(dir / "origen.db");
    test::WorkingDb catalogue(dir / "ValidacionesKOLT.db");
    for (int i = 0; i < 60; ++i) source.egreso();
  }
  std::ofstream(dir / "reglas.toml")
      << "limite_segundos = 1\n[[regla]]\nnumero = 114\ndescripcion = 'cruce'\nsentencias = "
         "[\"select a.folio Into Validacion114 From egreso AS a, egreso AS b, egreso AS c, egreso "
         "AS d, egreso AS e, egreso AS f WHERE a.folio & b.folio & c.folio & d.folio & e.folio & "
         "f.folio = 'x'\"]\n";
  const RunOutcome outcome = validate(dir, dir.path(), dir / "reglas.toml");
  ASSERT_EQ(outcome.units.size(), 1u);
  EXPECT_EQ(outcome.units[0].verdict, "VALIDACION INCOMPLETA");
  EXPECT_EQ(outcome.failedStatements, 1);
  const std::string log = test::fileText(dir / "R" / "Validacion.log");
  EXPECT_NE(log.find("regla 114\tselect a.folio Into Validacion114"), std::string::npos) << log;
  EXPECT_NE(log.find("límite de 1 segundo."), std::string::npos) << log;
}

}  // namespace
}  // namespace kolt::run
