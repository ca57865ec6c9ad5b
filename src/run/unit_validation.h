// One unit's validation, from its records to its verdict. It copies the unit's records of the
// period and the catalogues into a working database of its own, runs the rule plan over it, writes
// the unit's workbook once, whole, and returns the verdict with its failures and times. It shares
// nothing that changes with the units running beside it: each thread has its own connections, each
// unit its own files, log lines and trace.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/connection.h"
#include "engine/dialect/translation.h"
#include "results/results_folder.h"
#include "results/unit_result.h"
#include "rules/validaciones.h"
#include "run/run_log.h"
#include "run/run_request.h"

namespace kolt::run {

using results::UnitResult;

// Where time went, summed over statements.
struct RunTimes {
  std::chrono::microseconds copying{0};  // the unit's records and the catalogues into its database
  std::chrono::microseconds rules{0};    // the rules' statements, drops and counts
  std::chrono::microseconds workbooks{0};  // writing sheets

  RunTimes& operator+=(const RunTimes& other);
};

// Puts the failed statements among `records` in `log`, adds their times to `times` (as rules'
// when `ofRules`, else as copying, exports always as workbooks) and returns how many failed.
int logStatements(RunLog& log, const std::string& unit,
                  const std::vector<engine::StatementRecord>& records, RunTimes& times,
                  bool ofRules);

// The summary's text of the period, and the copy condition's date part.
std::string periodText(const RunRequest& request);

struct UnitValidation {
  UnitResult result;
  RunLog log;  // its failures, in the order they happened
  RunTimes times;
  bool traceIntact = true;
  std::string trace;  // its statements, when the run keeps a trace
  // Set when its records could not be copied for want of what every unit needs (the run is then
  // abandoned); nothing else was done for the unit.
  std::optional<base::Error> sourceUnusable;
};

// The rule progress of one unit, called from the unit's thread.
using UnitProgress = std::function<void(const std::string& unit, const rules::RuleProgress&)>;

// Validates units one after another on one thread, with that thread's own connections to the
// source and the catalogue.
class UnitValidator {
 public:
  UnitValidator(const RunRequest& request, const results::ResultsFolder& folder,
                std::shared_ptr<engine::TranslationCache> cache, bool keepTrace,
                UnitProgress progress);

  // The unit of the list text `entry`. With `copied`, a copy that fails for any reason but a full
  // disk makes the result sourceUnusable, and `copied` learns, as soon as the copies are over,
  // whether the source held what every unit needs.
  UnitValidation validate(const std::string& entry, std::promise<bool>* copied = nullptr);

 private:
  struct Pass;
  // Opens this thread's connections and makes the unit's working database; false when it cannot.
  bool makeWorkingDatabase(Pass& pass);
  // The unit's records of the period and the catalogues into its working database. False when,
  // for the first unit, the source lacks what every unit needs: the outcome then says so.
  bool copyRecords(Pass& pass, bool firstUnit);
  // The rule plan over the working database; its sheets go to the workbook in memory.
  void runRules(Pass& pass);
  // Writes the unit's workbook; true when it was written.
  bool writeWorkbook(Pass& pass);

  const RunRequest& request_;
  const results::ResultsFolder& folder_;
  std::shared_ptr<engine::TranslationCache> cache_;
  bool keepTrace_;
  UnitProgress progress_;
  std::string dates_;
  engine::Connection origen_, catalogo_;
};

}  // namespace kolt::run
