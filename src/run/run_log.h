// The run's log "{app}/RESULTADOS/Validacion.log": every statement and every step that failed, in
// the order they ran, with its time, unit, rule and error, so a failure never passes for a clean
// result. The run ends it with "Fin de la validación" once its results are in place, so the log of
// a run that did not finish is told by its end.
#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/error.h"
#include "engine/statement_log.h"
#include "run/run_times.h"

namespace kolt::run {

// An error as the log gives it: "{number} - {description}", then the engine's or the system's own
// words for whoever looks into the failure.
std::string logText(const base::Error& error);

class RunLog {
 public:
  // Starts the log of a new run, replacing the previous run's.
  explicit RunLog(std::filesystem::path file);
  // One unit's lines, kept in memory until the run adds them to its log with append: units run
  // side by side, and the log reads in the order of the unit list.
  RunLog();

  // The lines of a unit's log, in order, with their times.
  void append(const RunLog& unitLog);

  // A statement that failed.
  void failure(const std::string& unit, const engine::StatementRecord& record);
  // A step that is no statement (making a file, linking a table) and failed.
  void failure(const std::string& unit, const std::string& step, const base::Error& error);
  void note(const std::string& unit, const std::string& text);

  int failures() const { return failures_; }
  // Failures for want of room on the disk.
  int diskFailures() const { return diskFailures_; }
  const std::filesystem::path& file() const { return file_; }
  // False once a line could not be written (a full disk): the log is then incomplete.
  bool intact() const { return intact_; }

 private:
  void line(const std::string& unit, const std::string& text);

  std::filesystem::path file_;  // empty for a unit's log
  std::unique_ptr<std::ostream> out_;
  int failures_ = 0;
  int diskFailures_ = 0;
  bool intact_ = true;
};

// Puts the failed statements among `records` in `log`, adds their times to `times` (as rules'
// when `ofRules`, else as copying, exports always as workbooks) and returns how many failed.
int logStatements(RunLog& log, const std::string& unit,
                  const std::vector<engine::StatementRecord>& records, RunTimes& times,
                  bool ofRules);

}  // namespace kolt::run
