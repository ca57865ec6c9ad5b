#include "run/run_log.h"

#include <chrono>
#include <ctime>
#include <sstream>
#include <streambuf>

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

// The log's lines written straight to the platform's file, which lets its name change while it is
// open: a std::ofstream on Windows holds its file without sharing deletion, so the file could not
// be renamed into place and the log was never written.
class FileBuffer : public std::streambuf {
 public:
  explicit FileBuffer(platform::File file) : file_(std::move(file)) {}

 protected:
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return file_.write(&byte, 1) ? traits_type::eof() : c;
  }
  std::streamsize xsputn(const char* bytes, std::streamsize size) override {
    return file_.write(bytes, static_cast<std::size_t>(size)) ? 0 : size;
  }

 private:
  platform::File file_;
};

class FileStream : public std::ostream {
 public:
  explicit FileStream(platform::File file) : std::ostream(nullptr), buffer_(std::move(file)) {
    rdbuf(&buffer_);
  }

 private:
  FileBuffer buffer_;
};

}  // namespace

std::string logText(const base::Error& error) {
  return std::to_string(error.number()) + " - " + withDetail(error.description(), error.detail());
}

RunLog::RunLog(std::filesystem::path file) : file_(std::move(file)) {
  // A new file under a name of its own, then renamed over the previous run's: a link or a second
  // name of another file in the log's place loses its name, and what it points to is never
  // written.
  const std::filesystem::path fresh = base::temporaryNameFor(file_);
  std::error_code error;
  platform::File made = platform::File::createNew(fresh, error);
  if (made.isOpen() && !platform::replaceFile(fresh, file_)) {
    out_ = std::make_unique<FileStream>(std::move(made));
  } else {
    if (made.isOpen()) {
      made = platform::File();
      std::filesystem::remove(fresh, error);
    }
    out_ = std::make_unique<std::ostringstream>();
    out_->setstate(std::ios::failbit);
  }
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
