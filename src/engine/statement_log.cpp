#include "engine/statement_log.h"

#include <exception>

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
    record.errorDetail = e.detail();
  } catch (const std::exception& e) {
    // Anything else the layer lets through is still this statement's failure, told the same way.
    record.errorDescription = "El programa no pudo ejecutar la instrucción.";
    record.errorDetail = e.what();
  }
  record.duration = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  records_.push_back(std::move(record));
  return result;
}

const StatementRecord& StatementLog::execute(engine::Connection& cnn, int rule, StatementKind kind,
                                             std::string_view text) {
  run(rule, kind, text, [&](StatementRecord& record) {
    cnn.execute(text);
    record.rows = cnn.rowsWritten();
    return 0;
  });
  if (observer_) observer_(cnn, records_.back());
  return records_.back();
}

QueryResult StatementLog::openRecordset(engine::Connection& cnn, int rule, StatementKind kind,
                                        std::string_view text) {
  std::optional<engine::Recordset> rs = run(rule, kind, text, [&](StatementRecord& record) {
    engine::Recordset opened = cnn.openRecordset(text);
    record.rows = opened.recordCount();
    return opened;
  });
  if (observer_) observer_(cnn, records_.back());
  return QueryResult{records_.back(), std::move(rs)};
}

}  // namespace kolt::engine
