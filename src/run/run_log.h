// The run's log "{app}/RESULTADOS/Validacion.log": every statement that failed, with its time,
// unit, rule and the engine's error, so a failure never passes for a clean result.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "rules/statement_log.h"

namespace kolt::run {

class RunLog {
 public:
  // Starts the log of a new run, replacing the previous run's.
  explicit RunLog(std::filesystem::path file);

  void failure(const std::string& unit, const rules::StatementRecord& record);
  void note(const std::string& unit, const std::string& text);
  int failures() const { return failures_; }
  const std::filesystem::path& file() const { return file_; }

 private:
  void line(const std::string& unit, const std::string& text);

  std::filesystem::path file_;
  std::ofstream out_;
  int failures_ = 0;
};

}  // namespace kolt::run
