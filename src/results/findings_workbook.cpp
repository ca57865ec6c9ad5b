#include "results/findings_workbook.h"

#include <map>

#include "base/error.h"
#include "rules/rule_plan.h"
#include "xls/workbook.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;
using base::Value;
using xls::Row;
using xls::SheetColumn;

struct RuleTotals {
  std::int64_t units = 0, rows = 0, failedUnits = 0;
};

}  // namespace

fs::path writeFindingsWorkbook(const results::ResultsFolder& folder,
                               const std::vector<UnitResult>& units,
                               const rules::OfficeRules& officeRules) {
  std::vector<rules::PlannedRule> plan = rules::planRules(rules::ruleCatalogue());
  for (rules::PlannedRule& rule : rules::planOfficeRules(officeRules))
    plan.push_back(std::move(rule));

  std::vector<SheetColumn> unitColumns = {{"Unidad"},    {"Nombre"}, {"PERIODO"}, {"RESULTADO"},
                                          {"Hallazgos"}, {"Reglas"}, {"Fallidas"}};
  for (const auto& rule : plan) unitColumns.push_back({"V" + std::to_string(rule.number)});

  std::map<int, RuleTotals> totals;
  std::vector<Row> unitRows;
  for (const UnitResult& unit : units) {
    std::map<int, const rules::RuleRun*> byNumber;
    for (const rules::RuleRun& run : unit.rules) byNumber[run.number] = &run;
    std::int64_t rows = 0, rulesWithRows = 0;
    Row counts;
    for (const auto& rule : plan) {
      auto found = byNumber.find(rule.number);
      const rules::RuleRun* run = found == byNumber.end() ? nullptr : found->second;
      RuleTotals& total = totals[rule.number];
      if (run != nullptr && run->failed) ++total.failedUnits;
      if (run == nullptr || run->rows < 0) {
        counts.emplace_back();
        continue;
      }
      counts.emplace_back(run->rows);
      rows += run->rows;
      total.rows += run->rows;
      if (run->rows > 0) ++rulesWithRows, ++total.units;
    }
    // Cell by cell: GCC 12 takes a braced list of variants for a read of uninitialised memory.
    Row row;
    row.emplace_back(unit.unit);
    row.emplace_back(unit.name);
    row.emplace_back(unit.period);
    row.emplace_back(unit.verdict);
    row.emplace_back(rows);
    row.emplace_back(rulesWithRows);
    row.emplace_back(std::int64_t{unit.failedStatements});
    row.insert(row.end(), counts.begin(), counts.end());
    unitRows.push_back(std::move(row));
  }

  std::vector<Row> ruleRows;
  for (const auto& rule : plan) {
    const RuleTotals& total = totals[rule.number];
    Row& row = ruleRows.emplace_back();
    row.emplace_back(std::int64_t{rule.number});
    row.emplace_back(rule.description);
    row.emplace_back(total.units);
    row.emplace_back(total.rows);
    row.emplace_back(total.failedUnits);
  }

  const fs::path book = folder.folder() / kLibroHallazgos;
  const fs::path draft = folder.draftOf(book);
  std::error_code ec;
  fs::remove(draft, ec);
  xls::appendSheet(draft, "PorUnidad", unitColumns, unitRows);
  xls::appendSheet(draft, "PorRegla",
                   {{"Validacion"}, {"Descripcion"}, {"Unidades"}, {"Hallazgos"}, {"Fallida"}},
                   ruleRows);
  folder.publish(book);
  return book;
}

}  // namespace kolt::results
