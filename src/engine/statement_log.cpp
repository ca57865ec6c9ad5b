#include "engine/statement_log.h"

#include <exception>
#include <optional>

#include "base/error.h"

namespace kolt::engine {

bool StatementRecord::failed() const {
  if (ok) return false;
  return !(kind == StatementKind::Drop && errorNumber == base::kErrNoSuchTable);
}

void StatementLog::writeTrace(std::string_view text) {
  if (trace_ == nullptr) return;
  *trace_ << text << '\n';
  trace_->flush();
  if (!trace_->good()) traceIntact_ = false;
}

template <typename Step>
auto StatementLog::run(int rule, StatementKind kind, std::string_view text, Step step) {
  writeTrace(text);
  StatementRecord record;
  record.rule = rule;
  record.kind = kind;
  record.text = text;
  const auto start = std::chrono::steady_clock::now();
  std::optional<decltype(step(record))> result;
  try {
    result.emplace(step(record));
    record.ok = true;
  } catch (const base::Error& e) {
    record.errorNumber = e.number();
    record.errorDescription = e.description();
  } catch (const std::exception& e) {
    // Anything else the layer lets through is still this statement's failure; it goes on as a
    // base::Error so that the frame's resume-next meets one kind of error.
    record.errorDescription = e.what();
  }
  record.duration = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  const bool ok = record.ok;
  const long number = record.errorNumber;
  std::string description = record.errorDescription;
  records_.push_back(std::move(record));
  if (!ok) throw base::Error(number, std::move(description));
  return std::move(*result);
}

void StatementLog::execute(engine::Connection& cnn, int rule, StatementKind kind,
                           std::string_view text) {
  run(rule, kind, text, [&](StatementRecord& record) {
    cnn.execute(text);
    record.rows = cnn.rowsWritten();
    return 0;
  });
}

engine::Recordset StatementLog::openRecordset(engine::Connection& cnn, int rule, StatementKind kind,
                                              std::string_view text) {
  return run(rule, kind, text, [&](StatementRecord& record) {
    engine::Recordset rs = cnn.openRecordset(text);
    record.rows = rs.recordCount();
    return rs;
  });
}

}  // namespace kolt::engine
