#include "results/findings_workbook.h"

#include <algorithm>
#include <map>

#include "base/error.h"
#include "base/platform/paths.h"
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

Row labelled(const char* label, Value value) {
  Row row;
  row.emplace_back(std::string(label));
  row.push_back(std::move(value));
  return row;
}

std::vector<Row> runRows(const RunDescription& run, const std::vector<UnitResult>& units) {
  std::string asked;
  for (const auto& code : run.unitsAsked) asked += (asked.empty() ? "" : ", ") + code;
  // The rules that ran for a unit; the most any unit ran, as a unit whose working database could
  // not be made ran none.
  std::int64_t rulesRun = 0;
  for (const UnitResult& unit : units)
    rulesRun = std::max(rulesRun, static_cast<std::int64_t>(unit.rules.size()));
  std::vector<Row> rows;
  rows.push_back(labelled("Archivo de origen", platform::utf8(run.source)));
  rows.push_back(
      labelled("Tamaño del origen (bytes)",
               run.sourceBytes ? Value(static_cast<std::int64_t>(*run.sourceBytes)) : Value()));
  rows.push_back(labelled("Modificación del origen", run.sourceModified));
  rows.push_back(labelled("Catálogos", platform::utf8(run.catalogue)));
  if (run.demonstrationCatalogue)
    rows.push_back(labelled("CATÁLOGO DE DEMOSTRACIÓN",
                            std::string("Se usó el catálogo de demostración, no el oficial: los "
                                        "hallazgos que dependen de él no son válidos.")));
  rows.push_back(labelled("SHA-256 de los catálogos", run.catalogueSha256));
  rows.push_back(labelled("Periodo", run.period));
  rows.push_back(labelled("Unidades pedidas", static_cast<std::int64_t>(run.unitsAsked.size())));
  rows.push_back(labelled("Claves de las unidades pedidas", asked));
  rows.push_back(labelled("Unidades validadas", static_cast<std::int64_t>(units.size())));
  if (!run.notInCatalogue.empty()) {
    std::string missing;
    for (const auto& unit : run.notInCatalogue)
      missing += (missing.empty() ? "" : ", ") + unit.code + " (" +
                 std::to_string(unit.discharges) +
                 (unit.discharges == 1 ? " egreso)" : " egresos)");
    rows.push_back(labelled("Unidades NO VALIDADAS (no están en CATCLUES)", missing));
  }
  rows.push_back(labelled("Fecha y hora de la validación", run.started));
  rows.push_back(labelled("Versión del programa", std::string(programVersion())));
  rows.push_back(labelled("Reglas ejecutadas", rulesRun));
  rows.push_back(labelled("Resultado de la ejecución", run.ending));
  return rows;
}

// Per unit, what changed since its latest earlier run over the same period.
std::vector<Row> followUpRows(const std::vector<UnitResult>& units) {
  std::vector<Row> rows;
  for (const UnitResult& unit : units) {
    const UnitChanges& changes = unit.changes;
    Row& row = rows.emplace_back();
    row.emplace_back(unit.unit);
    row.emplace_back(unit.name);
    row.emplace_back(changes.since ? stampText(*changes.since) : std::string("Primera validación"));
    if (changes.since)
      row.emplace_back(changes.total.before);
    else
      row.emplace_back();
    row.emplace_back(changes.total.now);
    for (const std::int64_t count :
         {changes.total.added, changes.total.persisting, changes.total.corrected}) {
      if (changes.since)
        row.emplace_back(count);
      else
        row.emplace_back();
    }
  }
  return rows;
}

}  // namespace

const char* programVersion() {
  return KOLT_VERSION;
}

fs::path writeFindingsWorkbook(const results::ResultsFolder& folder,
                               const std::vector<UnitResult>& units, const RunDescription& run,
                               const rules::OfficeRules& officeRules) {
  std::vector<rules::PlannedRule> plan = rules::planRules(rules::ruleCatalogue());
  for (rules::PlannedRule& rule : rules::planOfficeRules(officeRules))
    plan.push_back(std::move(rule));

  std::vector<SheetColumn> unitColumns = {{"Unidad"},  {"Nombre"},    {"PERIODO"}, {"RESULTADO"},
                                          {"Egresos"}, {"Hallazgos"}, {"Reglas"},  {"Fallidas"}};
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
    if (unit.discharges >= 0)
      row.emplace_back(unit.discharges);
    else
      row.emplace_back();  // not counted: never a 0 that would read as "no discharges"
    row.emplace_back(rows);
    row.emplace_back(rulesWithRows);
    row.emplace_back(std::int64_t{unit.failedStatements});
    row.insert(row.end(), counts.begin(), counts.end());
    unitRows.push_back(std::move(row));
  }

  for (const RunDescription::UnvalidatedUnit& unit : run.notInCatalogue) {
    Row row;
    row.emplace_back(unit.code);
    row.emplace_back(std::string());
    row.emplace_back(unit.period);
    row.emplace_back(std::string(kNoValidada));
    row.emplace_back(unit.discharges);
    row.resize(unitColumns.size());
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
  xls::Workbook workbook(draft);
  // PorUnidad keeps its first columns where they always are, so a reader that knows its layout
  // still finds V1 ... V248 there; the rules' columns a sheet cannot hold follow in sheets of their
  // own after the others, each with the unit first.
  const std::size_t first = std::min(unitColumns.size(), xls::kColumnsPerSheet);
  const auto slice = [&](std::size_t from, std::size_t to) {
    std::vector<Row> rows;
    for (const Row& row : unitRows) {
      Row& part = rows.emplace_back();
      if (from > 0) part.push_back(row.front());
      part.insert(part.end(), row.begin() + static_cast<std::ptrdiff_t>(from),
                  row.begin() + static_cast<std::ptrdiff_t>(to));
    }
    return rows;
  };
  workbook.addSheet(
      "PorUnidad",
      std::vector<SheetColumn>(unitColumns.begin(),
                               unitColumns.begin() + static_cast<std::ptrdiff_t>(first)),
      slice(0, first));
  workbook.addSheet("PorRegla",
                    {{"Validacion"}, {"Descripcion"}, {"Unidades"}, {"Hallazgos"}, {"Fallida"}},
                    ruleRows);
  workbook.addSheet("Ejecucion", {{"Dato"}, {"Valor"}}, runRows(run, units));
  for (std::size_t from = first; from < unitColumns.size();) {
    const std::size_t to = std::min(unitColumns.size(), from + xls::kColumnsPerSheet - 1);
    std::vector<SheetColumn> columns = {unitColumns.front()};
    columns.insert(columns.end(), unitColumns.begin() + static_cast<std::ptrdiff_t>(from),
                   unitColumns.begin() + static_cast<std::ptrdiff_t>(to));
    workbook.addSheet("PorUnidad " + unitColumns[from].name + "-" + unitColumns[to - 1].name,
                      columns, slice(from, to));
    from = to;
  }
  // After every sheet a reader may find by its position.
  workbook.addSheet("Seguimiento",
                    {{"Unidad"},
                     {"Nombre"},
                     {"Validacion anterior"},
                     {"Hallazgos antes"},
                     {"Hallazgos ahora"},
                     {"Nuevos"},
                     {"Persisten"},
                     {"Corregidos"}},
                    followUpRows(units));
  workbook.save();
  folder.publish(book);
  return book;
}

}  // namespace kolt::results
