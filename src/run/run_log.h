// The run's log "{app}/RESULTADOS/Validacion.log": every statement and every step that failed, in
// the order they ran, with its time, unit, rule and error, so a failure never passes for a clean
// result.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "db/error.h"
#include "rules/statement_log.h"

namespace kolt::run {

class RunLog {
 public:
  // Starts the log of a new run, replacing the previous run's.
  explicit RunLog(std::filesystem::path file);

  // A statement that failed.
  void failure(const std::string& unit, const rules::StatementRecord& record);
  // A step that is no statement (making a file, linking a table) and failed.
  void failure(const std::string& unit, const std::string& step, const db::DbError& error);
  void note(const std::string& unit, const std::string& text);

  int failures() const { return failures_; }
  const std::filesystem::path& file() const { return file_; }
  // False once a line could not be written (a full disk): the log is then incomplete.
  bool intact() const { return intact_; }

 private:
  void line(const std::string& unit, const std::string& text);

  std::filesystem::path file_;
  std::ofstream out_;
  int failures_ = 0;
  bool intact_ = true;
};

}  // namespace kolt::run
