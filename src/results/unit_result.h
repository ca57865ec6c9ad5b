// What one unit's validation found: its verdict and each rule's outcome, as the summaries show
// them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rules/validaciones.h"

namespace kolt::results {

struct UnitResult {
  std::string unit, period, verdict;
  std::string name;  // the unit's name in CATCLUES, as the unit list shows it
  int failedStatements = 0;
  std::vector<rules::RuleRun> rules;  // each rule's outcome and row count, in the order they ran

  // Rows found over all rules.
  std::int64_t findings() const;
};

}  // namespace kolt::results
