// The record of every statement the rule frame runs.
//
// The frame goes on past a failing statement, so that one rule's fault does not cost the others;
// what it must not do is forget the failure. A rule whose statement the engine rejected looks, in
// the workbook, exactly like a rule that found nothing, so each statement's outcome is kept here
// for the run's log and for the verdict.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/error.h"
#include "engine/connection.h"

namespace kolt::engine {

enum class StatementKind {
  Drop,       // "Drop Table ..." of a result or work table
  WorkTable,  // builds a work table
  Rule,       // one of a rule's own statements
  Count,      // reads a result table to count its rows before the export
  Export,     // writes a result table as a sheet of the unit's workbook
};

struct StatementRecord {
  int rule = 0;  // the rule in whose step it ran; 0 outside any rule
  StatementKind kind = StatementKind::Rule;
  std::string text;
  bool ok = false;
  long errorNumber = 0;  // the engine's number when not ok; 0 when the failure carried none
  std::string errorDescription;
  std::string errorDetail;  // the engine's own words, for the run's log
  std::int64_t rows = 0;    // rows written; for a Count, rows read
  std::chrono::microseconds duration{0};

  // Dropping a table that is not there is the normal first step on a fresh database: it is kept in
  // the record but is not a failure.
  bool failed() const;
  // The failure as an error, for the few callers whose run cannot go on past it.
  base::Error error() const { return base::Error(errorNumber, errorDescription, errorDetail); }
};

// A query's record, and its rows when it ran.
struct QueryResult {
  const StatementRecord& record;
  std::optional<engine::Recordset> recordset;
};

// Called after each statement with the connection it ran on, still open: a profiler's look at the
// statement (its query plan) while the tables it read are there.
using StatementObserver = std::function<void(engine::Connection&, const StatementRecord&)>;

class StatementLog {
 public:
  // Every statement text is written to `trace` (when given) on a line of its own, before it runs,
  // so the trace ends with the statement in progress if the run is cut short.
  explicit StatementLog(std::ostream* trace = nullptr, StatementObserver observer = {})
      : trace_(trace), observer_(std::move(observer)) {}

  // Runs `text` and returns its record, failed or not: most failures let the run go on, and the
  // caller decides which do not. The record stays valid until the next statement runs or the
  // records are taken.
  const StatementRecord& execute(engine::Connection& cnn, int rule, StatementKind kind,
                                 std::string_view text);
  QueryResult openRecordset(engine::Connection& cnn, int rule, StatementKind kind,
                            std::string_view text);

  const std::vector<StatementRecord>& records() const { return records_; }
  std::vector<StatementRecord> takeRecords() { return std::move(records_); }
  // False once a line could not be written to the trace: the trace is then incomplete.
  bool traceIntact() const { return traceIntact_; }

 private:
  template <typename Step>
  auto run(int rule, StatementKind kind, std::string_view text, Step step);
  void writeTrace(std::string_view text);

  std::ostream* trace_;
  StatementObserver observer_;
  bool traceIntact_ = true;
  std::vector<StatementRecord> records_;
};

}  // namespace kolt::engine
