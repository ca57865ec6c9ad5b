#include "rules/validaciones.h"

#include "rules/frame_steps.h"
#include "rules/office_rules.h"
#include "rules/rule_plan.h"

namespace kolt::rules {
namespace {

void buildWorkTables(engine::Connection& cnnNueva, const PlannedRule& rule,
                     engine::StatementLog& log) {
  if (rule.buildBefore == nullptr) return;
  for (const WorkTable& work : *rule.buildBefore) {
    BorrarTabla(cnnNueva, work.name, log, rule.number);
    for (std::string_view lcSQL : work.statements)
      log.execute(cnnNueva, rule.number, engine::StatementKind::WorkTable, lcSQL);
  }
}

void runRule(engine::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
             const PlannedRule& rule, engine::StatementLog& log, RuleRun& run) {
  const std::size_t firstRecord = log.records().size();
  buildWorkTables(cnnNueva, rule, log);
  BorrarTabla(cnnNueva, rule.table, log, rule.number);

  // A failing statement is in the log; the next one runs all the same. An office rule's
  // statement past its limit is interrupted and fails like any other.
  bool created = false;
  cnnNueva.setStatementTimeLimit(rule.statementLimit);
  for (std::size_t i = 0; i < rule.statements.size(); ++i) {
    const bool ok =
        log.execute(cnnNueva, rule.number, engine::StatementKind::Rule, rule.statements[i]).ok;
    if (i == 0) created = ok;
  }
  cnnNueva.setStatementTimeLimit({});

  // A table the first statement did not create is not this run's result: when its drop failed, it
  // is the table of an earlier run, and exporting it would report old findings as new ones.
  if (created) {
    run.exported = ArchivoExcel(cnnNueva, gcLibroExcel, rule.table, log, rule.number);
    // The count stands when the export after it failed: the rule did find those rows.
    for (std::size_t r = firstRecord; r < log.records().size(); ++r) {
      const engine::StatementRecord& record = log.records()[r];
      if (record.kind == engine::StatementKind::Count && record.ok) run.rows = record.rows;
    }
  }

  if (rule.dropAfter != nullptr)
    for (std::string_view name : *rule.dropAfter) BorrarTabla(cnnNueva, name, log, rule.number);
}

}  // namespace

std::vector<const RuleRun*> FrameReport::findings() const {
  std::vector<const RuleRun*> result;
  for (const RuleRun& r : rules)
    if (r.rows > 0) result.push_back(&r);
  return result;
}

std::vector<const engine::StatementRecord*> FrameReport::failures() const {
  std::vector<const engine::StatementRecord*> result;
  for (const engine::StatementRecord& s : statements)
    if (s.failed()) result.push_back(&s);
  return result;
}

FrameReport Validaciones(engine::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
                         const FrameOptions& options) {
  const Catalogue& catalogue = options.catalogue ? *options.catalogue : ruleCatalogue();
  std::vector<PlannedRule> plan = planRules(catalogue);
  std::erase_if(plan, [&](const PlannedRule& rule) {
    return rule.number < options.firstRule || rule.number > options.lastRule;
  });
  if (options.officeRules != nullptr && options.lastRule >= kLastRule)
    for (PlannedRule& rule : planOfficeRules(*options.officeRules))
      if (rule.number >= options.firstRule) plan.push_back(std::move(rule));
  engine::StatementLog log(options.trace, options.afterStatement);
  FrameReport report;
  report.rules.reserve(plan.size());

  for (std::size_t i = 0; i < plan.size(); ++i) {
    const PlannedRule& rule = plan[i];
    if (options.progress)
      options.progress({static_cast<int>(i + 1), static_cast<int>(plan.size()), rule.number});
    RuleRun& run = report.rules.emplace_back();
    run.number = rule.number;
    run.table = rule.table;

    const std::size_t firstRecord = log.records().size();
    runRule(cnnNueva, gcLibroExcel, rule, log, run);
    for (std::size_t r = firstRecord; r < log.records().size(); ++r)
      run.failed = run.failed || log.records()[r].failed();
  }

  report.traceIntact = log.traceIntact();
  report.statements = log.takeRecords();
  return report;
}

}  // namespace kolt::rules
