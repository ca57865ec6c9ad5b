#include "results/unit_report.h"

#include <cmath>

namespace kolt::results {
namespace {

using base::Value;
using xls::Row;

constexpr std::size_t kReportColumns = 8;

Row padded(Row row) {
  row.resize(kReportColumns);
  return row;
}

Row labelled(const char* label, Value value) {
  Row row;
  row.emplace_back(std::string(label));
  row.push_back(std::move(value));
  return padded(std::move(row));
}

Row counted(const char* label, std::int64_t value) {
  return labelled(label, Value(value));
}

std::string description(const ReportContext& context, int rule) {
  if (context.descriptions == nullptr) return "";
  const auto found = context.descriptions->find(rule);
  return found == context.descriptions->end() ? "" : found->second;
}

// Records per 100 discharges, to two decimals; empty when the discharges were not counted.
Value rate(std::int64_t records, std::int64_t discharges) {
  if (discharges <= 0) return Value();
  return std::round(10000.0 * static_cast<double>(records) / static_cast<double>(discharges)) /
         100.0;
}

std::vector<Row> summaryRows(const UnitResult& unit, const ReportContext& context) {
  const UnitChanges& changes = unit.changes;
  std::vector<Row> rows;
  rows.push_back(labelled("Unidad", unit.unit));
  rows.push_back(labelled("Nombre", unit.name));
  rows.push_back(labelled("Periodo", unit.period));
  rows.push_back(labelled("Archivo de origen", context.source));
  rows.push_back(labelled("Fecha y hora de la validación", stampText(context.started)));
  rows.push_back(labelled("Catálogo", context.catalogue));
  if (context.demonstrationCatalogue)
    rows.push_back(
        labelled(kCatalogoDeDemostracion,
                 std::string("Esta validación usó el catálogo de demostración, no el "
                             "oficial: sus hallazgos no sirven para corregir la base.")));
  rows.push_back(unit.discharges >= 0 ? counted("Egresos revisados", unit.discharges)
                                      : labelled("Egresos revisados", Value()));
  rows.push_back(labelled("Resultado", unit.verdict));
  rows.push_back(labelled("Comparada con", changes.since
                                               ? "la validación del " + stampText(*changes.since)
                                               : std::string("Primera validación")));
  rows.push_back(counted("Hallazgos (regla y registro)", changes.total.now));
  if (changes.since) {
    rows.push_back(counted("Nuevos", changes.total.added));
    rows.push_back(counted("Persisten", changes.total.persisting));
    rows.push_back(counted("Corregidos", changes.total.corrected));
  }
  rows.push_back(padded({}));

  const std::string since = changes.since ? " desde " + stampText(*changes.since, false) : "";
  Row heading;
  for (const char* text :
       {"Validación", "Descripción", "Filas", "Registros", "Registros por 100 egresos"})
    heading.emplace_back(std::string(text));
  if (changes.since)
    for (const char* text : {"Nuevos", "Persisten", "Corregidos"})
      heading.emplace_back(text + since);
  rows.push_back(padded(std::move(heading)));

  std::map<int, std::int64_t> rowsByRule;
  for (const rules::RuleRun& run : unit.rules)
    if (run.rows > 0) rowsByRule[run.number] = run.rows;
  std::map<int, ChangeCounts> rules = changes.byRule;
  for (const auto& [rule, count] : rowsByRule) rules[rule];
  for (const auto& [rule, counts] : rules) {
    if (counts.now == 0 && counts.corrected == 0 && rowsByRule.count(rule) == 0) continue;
    Row row;
    row.emplace_back(std::int64_t{rule});
    row.emplace_back(description(context, rule));
    const auto found = rowsByRule.find(rule);
    row.emplace_back(found == rowsByRule.end() ? std::int64_t{0} : found->second);
    row.emplace_back(counts.now);
    row.push_back(rate(counts.now, unit.discharges));
    if (changes.since) {
      row.emplace_back(counts.added);
      row.emplace_back(counts.persisting);
      row.emplace_back(counts.corrected);
    }
    rows.push_back(padded(std::move(row)));
  }
  return rows;
}

std::vector<Row> followUpRows(const UnitResult& unit, const ReportContext& context) {
  std::vector<Row> rows;
  for (const TrackedFinding& tracked : unit.changes.findings) {
    Row& row = rows.emplace_back();
    row.emplace_back(tracked.finding.record);
    row.emplace_back(tracked.finding.dischargeDate);
    row.emplace_back(std::int64_t{tracked.finding.rule});
    row.emplace_back(description(context, tracked.finding.rule));
    row.emplace_back(std::string(stateText(tracked.state)));
    row.emplace_back(stampText(tracked.firstSeen, false));
  }
  return rows;
}

// The rule of a rule's sheet, "Validacion12" or its continuation "Validacion12 (2)"; 0 for any
// other sheet.
int ruleOfSheet(const std::string& sheet) {
  constexpr std::string_view kPrefix = "Validacion";
  if (!sheet.starts_with(kPrefix)) return 0;
  int number = 0;
  std::size_t at = kPrefix.size();
  for (; at < sheet.size() && sheet[at] >= '0' && sheet[at] <= '9' && number < 1'000'000; ++at)
    number = number * 10 + (sheet[at] - '0');
  return at == kPrefix.size() || (at < sheet.size() && sheet[at] != ' ') ? 0 : number;
}

}  // namespace

void addUnitReport(xls::Workbook& book, const UnitResult& unit, const ReportContext& context) {
  std::vector<xls::SheetColumn> summaryColumns = {{"Dato"}, {"Valor"}};
  summaryColumns.resize(kReportColumns);
  book.addSheet("Resumen", summaryColumns, summaryRows(unit, context));
  book.addSheet(
      "Seguimiento",
      {{"Folio"}, {"Egreso"}, {"Validacion"}, {"Descripcion"}, {"Estado"}, {"Primera vez"}},
      followUpRows(unit, context));
  // Printed, every page says whose it is and what it lists.
  const std::vector<std::string> names = book.sheetNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int rule = ruleOfSheet(names[i]);
    book.setPageHeader(i, {unit.unit + "  " + unit.name, names[i],
                           rule > 0 ? description(context, rule) : "Periodo: " + unit.period});
    if (names[i] == "Resumen") book.setActiveSheet(i);
  }
}

}  // namespace kolt::results
