// Hallazgos.xls against the unit workbooks it summarises, both read back as a user's spreadsheet
// program would read them.
#include "results/findings_workbook.h"

#include <gtest/gtest.h>

#include "rules/rule_plan.h"
#include "run/driver.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using test::WorkingDb;

// Validates three units, not in code order to show the list's order is kept: one with two
// findings of rule 3 and one of rule 1, one with a finding of rule 1, and a clean one.
class FindingsWorkbook : public ::testing::Test {
 protected:
  RunOutcome validateAll(const WorkingDb::Options& options = {}) {
    WorkingDb source(dir / "origen.db", options);
    source.egreso();
    source.egreso({{"clues", "DFSSA000002"}, {"edad", 131}});
    source.egreso({{"clues", "DFSSA000003"}, {"sexo", "3"}});
    source.egreso({{"clues", "DFSSA000003"}, {"sexo", "3"}, {"edad", 0}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000002"}, {"DESCUNIDAD", "CLINICA NORTE"}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000003"}, {"DESCUNIDAD", "CLINICA SUR"}});
    fs::create_directories(session.app);
    WorkingDb(session.app / "ValidacionesKOLT.db");
    openDatabases(session, dir / "origen.db");
    engine::StatementLog log;
    units = CargaUnidades(session.cnnOrigen, log);
    std::swap(units[0], units[2]);
    return runValidation(test::requestFor(session, units));
  }

  test::TempDir dir;
  Session session{dir / "programa"};
  std::vector<Unit> units;
};

// The cell of `row` under `heading`; "" when the row stops before it, as for a rule not counted.
std::string cell(const test::SheetCells& rows, std::size_t row, const std::string& heading) {
  const auto& header = rows.at(0);
  const auto column = static_cast<std::size_t>(
      std::find(header.begin(), header.end(), "text:" + heading) - header.begin());
  return column < rows.at(row).size() ? rows[row][column] : "";
}

TEST_F(FindingsWorkbook, CountsAreTheRowsOfEachUnitsSheetsInListOrder) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  const RunOutcome outcome = validateAll();
  ASSERT_FALSE(outcome.errorReport);
  ASSERT_EQ(outcome.findingsWorkbook, session.resultsFolder / "Hallazgos.xls");

  const test::ReadBack book = test::readBack(outcome.findingsWorkbook);
  EXPECT_EQ(book.names, (std::vector<std::string>{"PorUnidad", "PorRegla", "Ejecucion"}));
  const test::SheetCells perUnit = test::sheet(book, "PorUnidad");
  ASSERT_EQ(perUnit.size(), 4u);
  EXPECT_EQ(perUnit[0].size() - 8, rules::planRules(rules::ruleCatalogue()).size());
  const std::vector<std::string> expected[] = {
      {"text:DFSSA000003", "text:CLINICA SUR", "text:TODO", "text:A REVISAR", "number:2",
       "number:3", "number:2", "number:0"},
      {"text:DFSSA000002", "text:CLINICA NORTE", "text:TODO", "text:A REVISAR", "number:1",
       "number:1", "number:1", "number:0"},
      {"text:DFSSA000001", "text:HOSPITAL GENERAL", "text:TODO", "text:CORRECTA", "number:1",
       "number:0", "number:0", "number:0"},
  };
  for (std::size_t u = 0; u < 3; ++u) {
    const std::vector<std::string> first8(perUnit[u + 1].begin(), perUnit[u + 1].begin() + 8);
    EXPECT_EQ(first8, expected[u]);
    // Every count equals the data rows of the unit's sheet for that rule, 0 where it has none.
    const fs::path unitBook = session.resultsFolder / ("Val" + units[u].code + ".xls");
    const test::ReadBack sheets =
        fs::exists(unitBook) ? test::readBack(unitBook) : test::ReadBack{};
    for (std::size_t c = 8; c < perUnit[0].size(); ++c) {
      const std::string rule = "Validacion" + perUnit[0][c].substr(6);  // "text:V12"
      std::size_t rows = 0;
      for (std::size_t s = 0; s < sheets.names.size(); ++s)
        if (sheets.names[s] == rule) rows = sheets.sheets[s].size() - 1;
      EXPECT_EQ(cell(perUnit, u + 1, perUnit[0][c].substr(5)), "number:" + std::to_string(rows))
          << rule;
    }
  }

  const test::SheetCells rules = test::sheet(book, "PorRegla");
  EXPECT_EQ(rules[0],
            (std::vector<std::string>{"text:Validacion", "text:Descripcion", "text:Unidades",
                                      "text:Hallazgos", "text:Fallida"}));
  EXPECT_EQ(rules[1][0], "number:1");
  EXPECT_EQ(std::vector<std::string>(rules[1].begin() + 2, rules[1].end()),
            (std::vector<std::string>{"number:2", "number:2", "number:0"}));
  EXPECT_EQ(std::vector<std::string>(rules[3].begin() + 2, rules[3].end()),
            (std::vector<std::string>{"number:1", "number:2", "number:0"}));
}

TEST_F(FindingsWorkbook, FailedRuleIsCountedAsFailedNeverAsNothingFound) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  const RunOutcome outcome = validateAll({.omitColumns = {{"EGRESO", "derhab"}}});  // no rule 4, 5
  ASSERT_FALSE(outcome.errorReport);

  const test::ReadBack book = test::readBack(outcome.findingsWorkbook);
  const test::SheetCells units = test::sheet(book, "PorUnidad");
  for (std::size_t u = 1; u <= 3; ++u) {
    EXPECT_NE(cell(units, u, "Fallidas"), "number:0");
    EXPECT_EQ(cell(units, u, "V4"), "");  // not counted: the rule did not run
    EXPECT_EQ(cell(units, u, "V3"), u == 1 ? "number:2" : "number:0");
  }
  EXPECT_EQ(cell(units, 3, "RESULTADO"), "text:VALIDACION INCOMPLETA");
  const test::SheetCells rules = test::sheet(book, "PorRegla");
  EXPECT_EQ(cell(rules, 4, "Fallida"), "number:3");
  EXPECT_EQ(cell(rules, 3, "Fallida"), "number:0");
}

}  // namespace
}  // namespace kolt::run
