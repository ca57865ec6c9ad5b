// Units validated side by side. Each thread validates one unit at a time with connections of its
// own; the calling thread receives the validations in the order of the unit list, whatever order
// they finish in, so the log, the trace and the summary read the same for any number of threads.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "results/results_folder.h"
#include "rules/validaciones.h"
#include "run/run_request.h"
#include "run/unit_validation.h"

namespace kolt::run {

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // Calls come from the threads that validate the units, one call at a time: an observer needs no
  // lock of its own, but must not wait for the window's thread.
  virtual void ruleStarted(const std::string& unit, const rules::RuleProgress& progress) {
    (void)unit, (void)progress;
  }
  // `done` of the run's `count` units are validated; `unit` is the one just finished.
  virtual void unitFinished(int done, int count, const std::string& unit) {
    (void)done, (void)count, (void)unit;
  }
  // The same moment, with the unit's verdict: called right after unitFinished. A unit stopped by a
  // request to stop the run is not finished and is reported by neither.
  virtual void unitValidated(int done, int count, const UnitResult& result) {
    (void)done, (void)count, (void)result;
  }
  // The run's results are put in the results folder one file at a time, once the units are over:
  // `file` is the next, on the calling thread.
  virtual void placing(const std::filesystem::path& file) { (void)file; }
};

// The number of threads a request asks for: request.threads, or one per processor core, never
// more than there are units.
unsigned threadsFor(const RunRequest& request);

// Validates request.units and hands each validation to `take` on the calling thread, in list
// order. The first unit's copies run before any other unit starts: when they show that the source
// lacks what every unit needs, no other unit is touched (source_check.h). When `take` returns
// false, units not yet begun are never begun. Once request.cancel is set, no unit begins; the
// units finished by then are still handed to `take`, in list order, those stopped or never begun
// are not. Rethrows, on the calling thread, anything but a base::Error a unit threw.
void validateUnits(const RunRequest& request, const results::ResultsFolder& folder, bool keepTrace,
                   RunObserver* observer, const std::function<bool(UnitValidation&)>& take);

}  // namespace kolt::run
