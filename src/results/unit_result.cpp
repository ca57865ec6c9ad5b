#include "results/unit_result.h"

#include <algorithm>

namespace kolt::results {

std::int64_t UnitResult::findings() const {
  std::int64_t rows = 0;
  for (const rules::RuleRun& run : rules) rows += std::max<std::int64_t>(run.rows, 0);
  return rows;
}

}  // namespace kolt::results
