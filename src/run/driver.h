// The validation run: every chosen unit validated on its own (unit_validator.h), side by side
// (unit_pool.h), its verdict added to the summary in list order; at the end, the summary workbooks.
// The windows and the batch command both run it; it shows nothing itself.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "results/results_folder.h"
#include "run/run_request.h"
#include "run/run_times.h"
#include "run/unit_pool.h"
#include "run/unit_validation.h"

namespace kolt::run {

// The run's error report: "{number} - {description}" in a message box, the run abandoned.
struct ErrorReport {
  long number = 0;
  std::string description;
  std::string text() const { return std::to_string(number) + " - " + description; }
};

struct RunOutcome {
  std::optional<ErrorReport> errorReport;  // set when the run was abandoned
  std::vector<UnitResult> units;
  int failedStatements = 0;  // statements and steps that failed, all in the log
  bool diskFull = false;     // some file could not be written for want of room
  std::filesystem::path log;
  std::filesystem::path findingsWorkbook;  // Hallazgos.xls; empty when it could not be written
  bool logIntact = true;                   // false: some line could not be written to the log
  RunTimes times;
  bool traceIntact = true;  // false: some statement could not be written to the trace
  // The user asked the run to stop before all its units were validated: `units` holds those
  // finished, and the summaries list only them.
  bool interrupted = false;
  // What the last run in the folder said of itself when it did not finish; empty when it did.
  std::string unfinishedBefore;
  // Why the run could not be kept in the folder's history; empty when it was.
  std::string historyProblem;
};

// Validates the request's units, side by side, then writes the summary. The run only reads
// request.source; its verdicts are kept in a database of its own in memory, so runs beside it on
// the same source never see them. `trace`, when given, receives every
// statement text the run executes, one block per unit in list order. A run whose results folder
// another run holds is refused (errorReport kErrInUse) without touching the folder.
RunOutcome runValidation(const RunRequest& request, RunObserver* observer = nullptr,
                         std::ostream* trace = nullptr);
// The same run in a results folder the caller already holds: the window and kolt-validar take the
// folder before they open or build anything, so a run refused on a folder in use touches nothing.
RunOutcome runValidation(results::ResultsFolder& folder, const RunRequest& request,
                         RunObserver* observer = nullptr, std::ostream* trace = nullptr);

// The end message; further lines tell how many statements failed and where the log is, that the
// disk ran out of room, which units had no discharge in the period, that the run was stopped
// before its end, and that the run before it did not finish.
std::string MensajeFinal(const RunRequest& request, const RunOutcome& outcome);

// Whether every unit of a finished run was without discharges: a run that checked nothing, which
// must never pass for a clean one.
bool nothingChecked(const RunOutcome& outcome);

}  // namespace kolt::run
