// What one unit's validation hands back to the run: its verdict, its log lines, its times and its
// trace, or word that the source is unusable.
#pragma once

#include <optional>
#include <string>

#include "base/error.h"
#include "results/unit_result.h"
#include "run/run_log.h"
#include "run/run_times.h"

namespace kolt::run {

using results::UnitResult;

struct UnitValidation {
  UnitResult result;
  RunLog log;  // its failures, in the order they happened
  RunTimes times;
  bool traceIntact = true;
  std::string trace;  // its statements, when the run keeps a trace
  // Set when its records could not be copied for want of what every unit needs (the run is then
  // abandoned); nothing else was done for the unit.
  std::optional<base::Error> sourceUnusable;
  // Stopped because the run was asked to stop: no verdict, no workbook, its log lines are moot.
  bool cancelled = false;
};

}  // namespace kolt::run
