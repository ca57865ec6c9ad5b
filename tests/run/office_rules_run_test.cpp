// A whole run with the office's example rules (docs/examples/ReglasAdicionales.toml): they find the
// demonstration's deliberate errors and nothing in its clean unit, and every result lists them
// after rule 113. (A runaway statement cut off at the file's limit: kolt_validar.cases.)
#include <gtest/gtest.h>

#include "run/driver.h"
#include "run/office_rules_check.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "xls/workbook.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using Cells = std::vector<std::string>;

TEST(OfficeRulesRun, TheExampleRulesFindTheDemonstrationsErrorsAfterRule113InEveryResult) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  test::TempDir dir;
  std::string out;
  const int generated = test::runProgram("kolt-generar",
                                         {(dir / "origen.db").string(), "--egresos", "3000",
                                          "--unidades", "5", "--limpias", "1", "--errores", "0.1"},
                                         out);
  ASSERT_EQ(generated, 0) << out;
  Session session(test::binaryDir() / "bin");
  session.resultsFolder = dir / "R";
  openDatabases(session, dir / "origen.db");
  engine::StatementLog log;
  RunRequest request = test::requestFor(session, CargaUnidades(session.cnnOrigen, log));
  request.officeRules = checkedOfficeRules(
      rules::readOfficeRules(test::sourceDir() / "docs/examples/ReglasAdicionales.toml"), session);
  const RunOutcome outcome = runValidation(request);
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

}  // namespace
}  // namespace kolt::run
