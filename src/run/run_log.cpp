#include "run/run_log.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "base/platform/local_time.h"

namespace kolt::run {
namespace {

std::string now() {
  const std::time_t t = std::time(nullptr);
  const std::tm local = platform::localTime(t);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

}  // namespace

RunLog::RunLog(std::filesystem::path file)
    : file_(std::move(file)),
      out_(std::make_unique<std::ofstream>(file_, std::ios::trunc | std::ios::binary)) {
  *out_ << now() << "\tInicio de la validación\n";
  intact_ = static_cast<bool>(out_->flush());
}

RunLog::RunLog() : out_(std::make_unique<std::ostringstream>()) {}

void RunLog::append(const RunLog& unitLog) {
  const auto* memory = dynamic_cast<const std::ostringstream*>(unitLog.out_.get());
  const std::string lines = memory ? memory->str() : std::string();
  if (!lines.empty()) {
    *out_ << lines;
    intact_ = static_cast<bool>(out_->flush()) && intact_;
  }
  failures_ += unitLog.failures_;
  diskFailures_ += unitLog.diskFailures_;
}

void RunLog::line(const std::string& unit, const std::string& text) {
  *out_ << now() << '\t' << (unit.empty() ? "-" : unit) << '\t' << text << '\n';
  intact_ = static_cast<bool>(out_->flush()) && intact_;
}

void RunLog::failure(const std::string& unit, const engine::StatementRecord& record) {
  ++failures_;
  diskFailures_ += record.errorNumber == base::kErrDiskFull;
  line(unit, "regla " + std::to_string(record.rule) + "\t" + record.text + "\tError " +
                 std::to_string(record.errorNumber) + " - " + record.errorDescription);
}

void RunLog::failure(const std::string& unit, const std::string& step, const base::Error& error) {
  ++failures_;
  diskFailures_ += error.number() == base::kErrDiskFull;
  line(unit, step + "\tError " + std::to_string(error.number()) + " - " + error.description());
}

void RunLog::note(const std::string& unit, const std::string& text) {
  line(unit, text);
}

int logStatements(RunLog& log, const std::string& unit,
                  const std::vector<engine::StatementRecord>& records, RunTimes& times,
                  bool ofRules) {
  int failed = 0;
  for (const auto& r : records) {
    if (r.kind == engine::StatementKind::Export)
      times.workbooks += r.duration;
    else if (ofRules)
      times.rules += r.duration;
    else
      times.copying += r.duration;
    if (!r.failed()) continue;
    ++failed;
    log.failure(unit, r);
  }
  return failed;
}

}  // namespace kolt::run
