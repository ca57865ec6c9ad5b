// The rule frame: runs every rule of the catalogue, in order, against one unit's working database.
//
// Per rule: build the work tables it needs, drop its result table, run its statements, export the
// table to the unit's workbook when it holds rows, drop the work tables of a finished group. A
// failing statement is skipped and the next one runs, so one bad rule never stops the others; every
// statement's outcome is kept in the report, so a failure is never mistaken for a clean result.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/connection.h"
#include "engine/statement_log.h"
#include "rules/catalogue.h"

namespace kolt::rules {

struct OfficeRules;

struct RuleProgress {
  int position;  // 1 for the first rule run
  int total;     // rules this call runs (113 for the whole catalogue)
  int rule;      // the rule's number
};

struct FrameOptions {
  // Receives every statement text in execution order, one per line. The caller owns the stream.
  std::ostream* trace = nullptr;
  // Called as each rule starts.
  std::function<void(const RuleProgress&)> progress = {};
  // The catalogue to run; null runs the program's own.
  const Catalogue* catalogue = nullptr;
  // Only the rules numbered from `firstRule` to `lastRule` run, each as it would in a whole run. A
  // range must hold whole work-table groups: a rule whose group began before the range finds no
  // work tables and fails, which the report shows.
  int firstRule = 1;
  int lastRule = kLastRule;
  // The office's own rules, run after the catalogue's in number order (office_rules.h); a range
  // that reaches the catalogue's last rule takes them in. Null: the catalogue alone.
  const OfficeRules* officeRules = nullptr;
  // Called after each statement, with the connection still open (a profiler's hook).
  engine::StatementObserver afterStatement = {};
};

struct RuleRun {
  int number = 0;
  std::string table;
  bool failed = false;     // some statement of the rule's step failed
  std::int64_t rows = -1;  // rows of its result table; -1 when they could not be counted
  bool exported = false;   // its sheet was written to the workbook
};

struct FrameReport {
  std::vector<RuleRun> rules;                       // in the order they ran
  std::vector<engine::StatementRecord> statements;  // every statement, in the order they ran
  bool traceIntact = true;                          // false: a trace line could not be written

  // The rules whose result table held rows, exported or not.
  std::vector<const RuleRun*> findings() const;
  // The statements that failed (a drop of an absent table is not a failure).
  std::vector<const engine::StatementRecord*> failures() const;
};

// `cnnNueva` must be open on the unit's working database; `gcLibroExcel` is the unit's workbook,
// created by the first export, so no file is written when no rule finds anything.
FrameReport Validaciones(engine::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
                         const FrameOptions& options = {});

}  // namespace kolt::rules
