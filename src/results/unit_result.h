// What one unit's validation found: its verdict and each rule's outcome, as the summaries show
// them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "results/finding.h"
#include "results/finding_changes.h"
#include "rules/validaciones.h"

namespace kolt::results {

struct UnitResult {
  std::string unit, period, verdict;
  std::string name;  // the unit's name in CATCLUES, as the unit list shows it
  int failedStatements = 0;
  std::vector<rules::RuleRun> rules;  // each rule's outcome and row count, in the order they ran
  // The unit's discharges of the period that were checked (EGRESO's rows copied for it); -1 when
  // they could not be copied, and so were not counted.
  std::int64_t discharges = -1;
  // Every row its rules exported, as findings (finding.h), in the order they were exported.
  std::vector<Finding> found;
  // What changed since the unit's latest earlier run over the same period (history.h).
  UnitChanges changes;

  // Rows found over all rules.
  std::int64_t findings() const;
};

}  // namespace kolt::results
