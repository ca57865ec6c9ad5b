// The validation run: for every chosen unit, a fresh working database with the unit's records of
// the period and the catalogues, the rule catalogue over it, the unit's verdict; at the end, the
// summary workbook. The windows and the batch command both run it; it shows nothing itself.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "rules/validaciones.h"
#include "run/context.h"

namespace kolt::run {

// The text of an empty date box. A box is filled when its text, without surrounding blanks,
// differs from it.
inline constexpr const char* kEmptyDateBox = "__/__/____";
bool isFilled(std::string_view dateBox);

// The date boxes as they read when the run starts.
struct DateBoxes {
  std::string mskFechaIni = kEmptyDateBox;
  std::string mskFechaFin = kEmptyDateBox;
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  virtual void unitStarted(int position, int count, const std::string& unit) {
    (void)position, (void)count, (void)unit;
  }
  virtual void ruleStarted(const rules::RuleProgress& progress) { (void)progress; }
};

// The run's error report: "{number} - {description}" in a message box, the run abandoned.
struct ErrorReport {
  long number = 0;
  std::string description;
  std::string text() const { return std::to_string(number) + " - " + description; }
};

struct UnitResult {
  std::string unidad, periodo, resultado;
  std::string nombre;  // the unit's name in CATCLUES, as the unit list shows it
  int failedStatements = 0;
  std::vector<rules::RuleRun> rules;  // each rule's outcome and row count, in the order they ran

  // Rows found over all rules.
  std::int64_t findings() const;
};

// Where a run's time went, summed over its statements.
struct RunTimes {
  std::chrono::microseconds copying{0};  // the unit's records and the catalogues into its database
  std::chrono::microseconds rules{0};    // the rules' statements, drops and counts
  std::chrono::microseconds workbooks{0};  // writing sheets
};

struct RunOutcome {
  std::optional<ErrorReport> errorReport;  // set when the run was abandoned
  std::vector<UnitResult> units;
  int failedStatements = 0;  // statements and steps that failed, all in the log
  bool diskFull = false;     // some file could not be written for want of room
  std::filesystem::path log;
  std::filesystem::path findingsWorkbook;  // Hallazgos.xls; empty when it could not be written
  bool logIntact = true;  // false: some line could not be written to the log
  RunTimes times;
  bool traceIntact = true;  // false: some statement could not be written to the trace
};

// Runs the validation of ctx.gaUnidades for the period of `boxes` (bounds from ctx.gcFechaIni and
// ctx.gcFechaFin). ctx.cnnOrigen and ctx.cnnCatalogo must be open. `trace`, when given, receives
// every statement text the run executes, in order. A run whose results folder another run holds is
// refused (errorReport kErrInUse) without touching the folder.
RunOutcome ProcesaValidacion(Context& ctx, const DateBoxes& boxes, RunObserver* observer = nullptr,
                             std::ostream* trace = nullptr);

// The end message; further lines tell how many statements failed and where the log is, and that
// the disk ran out of room.
std::string MensajeFinal(const Context& ctx, const RunOutcome& outcome);

}  // namespace kolt::run
