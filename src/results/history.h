// "Historial.db": every run kept in its results folder, so that a unit's findings can be compared
// with its findings of the month before, and a statistician can see which runs were made.
//
// An SQLite database of its own (application_id 'KOLT', user_version 1), its tables documented in
// the README:
//   ejecuciones  one row per run: when it started and ended, the program's version, the source's
//                absolute path with its size and modification time, the catalogue with its SHA-256
//                and whether it was the demonstration one, the period, the units asked for and how
//                the run ended;
//   unidades     one row per unit the run finished: its verdict, discharges, rows found, failed
//                statements and the rules that failed;
//   hallazgos    one row per row a rule exported: the rule, the record it names (finding.h), the
//                discharge date, the row as exported, and when the finding was first seen.
// A run is written in one transaction at its end: a run that is killed leaves the history as it
// was, and a run interrupted by the user keeps the units it finished. The history never stops a
// validation: a file that is not such a history, or is damaged, is set aside under another name
// and a new one begun; a history that cannot be written is said in the log and the end message.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/error.h"
#include "results/finding_changes.h"
#include "results/findings_workbook.h"
#include "results/unit_result.h"

struct sqlite3;

namespace kolt::results {

inline constexpr const char* kHistorial = "Historial.db";

// What the history keeps of a run besides its units: what Ejecucion says of it, and the period's
// bounds as typed, which a later run must match to be compared with it.
struct RunRecord {
  RunDescription run;
  std::string periodStart, periodEnd;  // "dd/mm/aaaa"; "" unbounded
  std::string ended;                   // "aaaa-mm-dd hh:mm:ss", local time
};

// A kept run, as kolt-validar --historial lists it.
struct KeptRun {
  std::string started, source, period, ending;
  std::int64_t unitsAsked = 0, units = 0, findings = 0;
  bool demonstrationCatalogue = false;
};

class History {
 public:
  // Opens `folder`/Historial.db, or begins it when there is none. One that cannot be read as a
  // history is renamed "Historial-apartado-{aaaammdd-hhmmss}.db" and a new one begun; what was
  // done is in notes(). Never throws: a history that cannot be opened at all is simply missing
  // (available() false), and the run goes on without it.
  explicit History(const std::filesystem::path& folder);
  ~History();
  History(const History&) = delete;
  History& operator=(const History&) = delete;

  bool available() const { return db_ != nullptr; }
  // What opening it found worth a line in the log: a history set aside, one that cannot be opened.
  const std::vector<std::string>& notes() const { return notes_; }

  // The latest kept run that finished `unit` over the same period; none when no run did. Read as
  // the unit is compared, from its thread, while the run is being kept, so that no more earlier
  // findings wait in memory than those of the units under way. The run being kept is never read:
  // its units are written only by finish(). Throws base::Error when the history cannot be read.
  std::optional<EarlierUnit> earlier(const std::string& unit, const std::string& periodStart,
                                     const std::string& periodEnd) const;

  // A run is kept in one transaction: begun with the run, its units' findings added as each unit
  // ends (so they need not wait in memory for the last unit), the run's units and its ending
  // written and the whole committed by finish(). A run that never reaches finish() leaves the
  // history as it was. Each throws base::Error when the history cannot be written; the
  // transaction is then abandoned and later calls do nothing. Calls from the run's thread only.
  void begin(const RunRecord& run);
  void addFindings(const UnitResult& unit);
  void finish(const RunRecord& run, const std::vector<UnitResult>& units);

  // The kept runs, newest first; none when there is no history in `folder`. Throws base::Error
  // when the file is there and cannot be read as a history.
  static std::vector<KeptRun> list(const std::filesystem::path& folder);

 private:
  // Abandons the transaction under way, if any, and throws `e`.
  [[noreturn]] void abandon(const base::Error& e);

  sqlite3* db_ = nullptr;
  // The units' threads read earlier runs while the run's thread writes: one at a time.
  mutable std::mutex mutex_;
  std::vector<std::string> notes_;
  std::int64_t run_ = -1;  // the run being kept; -1: no transaction under way
};

}  // namespace kolt::results
