#include "run/run_log.h"

#include <chrono>
#include <ctime>
#include <fstream>
#include <sstream>

#include "base/platform/files.h"
#include "base/platform/local_time.h"
#include "base/replace_file.h"

namespace kolt::run {
namespace {

std::string withDetail(const std::string& description, const std::string& detail) {
  return detail.empty() ? description : description + " [detalle: " + detail + "]";
}

std::string now() {
  const std::time_t t = std::time(nullptr);
  const std::tm local = platform::localTime(t);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

}  // namespace

std::string logText(const base::Error& error) {
  return std::to_string(error.number()) + " - " + withDetail(error.description(), error.detail());
}

RunLog::RunLog(std::filesystem::path file) : file_(std::move(file)) {
  // A new file under a name of its own, then renamed over the previous run's: a link or a second
  // name of another file in the log's place loses its name, and what it points to is never
  // written.
  auto out = std::make_unique<std::ofstream>();
  const std::filesystem::path fresh = base::temporaryNameFor(file_);
  std::error_code error;
  if (platform::File::createNew(fresh, error).isOpen()) {
    out->open(fresh, std::ios::out | std::ios::app);
    if (platform::replaceFile(fresh, file_)) {
      out->close();
      std::filesystem::remove(fresh, error);
      out->setstate(std::ios::failbit);
    }
  } else {
    out->setstate(std::ios::failbit);
  }
  out_ = std::move(out);
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
                 std::to_string(record.errorNumber) + " - " +
                 withDetail(record.errorDescription, record.errorDetail));
}

void RunLog::failure(const std::string& unit, const std::string& step, const base::Error& error) {
  ++failures_;
  diskFailures_ += error.number() == base::kErrDiskFull;
  line(unit, step + "\tError " + logText(error));
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
