// What one validation run is asked to do. The window and kolt-validar both build it from what the
// user chose; the run reads nothing else of theirs.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/date_text.h"
#include "engine/connection.h"
#include "engine/statement_log.h"
#include "results/finding_changes.h"
#include "rules/office_rules.h"
#include "run/date_utilities.h"
#include "run/unit.h"

namespace kolt::run {

struct RunRequest {
  std::filesystem::path source;     // the source's engine file (an Access file's companion)
  std::filesystem::path catalogue;  // the catalogue's engine file
  // The catalogue as the run read it at its start (catalogue_snapshot.h), which every unit reads
  // instead of the file; set by the run itself. None: each unit reads the file.
  std::shared_ptr<const engine::DatabaseImage> catalogueImage;
  // A unit's latest earlier run over the same period, from the results folder's history, read
  // from the unit's thread as the unit is compared (base::Error when it cannot be read), and
  // every rule's description by number; set by the run itself. None: no comparison, no
  // descriptions.
  std::function<std::optional<results::EarlierUnit>(const std::string& unit)> earlier;
  std::shared_ptr<const std::map<int, std::string>> descriptions;
  std::filesystem::path resultsFolder;
  std::vector<Unit> units;  // in list order
  // The period's bounds as typed, "dd/mm/yyyy"; empty: unbounded.
  std::string periodStart, periodEnd;
  unsigned threads = 0;  // units validated side by side; 0: one per processor core
  // Lines the run's log starts with: what opening the databases found (Session::notes).
  std::vector<std::string> notes;
  // Set by the caller when the user asks the run to stop (Ctrl-C, "Cancelar"): units not begun are
  // never begun, units under way stop and leave nothing, and the run ends with what it finished.
  // The flag must outlive the run; nullptr: the run cannot be stopped.
  const std::atomic<bool>* cancel = nullptr;
  // The source and catalogue files as the user chose them (an Access file, not its companion),
  // for the record of the run in Hallazgos.xls; empty when the run was asked for without them.
  std::filesystem::path sourceFile, catalogueFile;
  // The office's own rules, checked, run after rule 113 (run/office_rules_check.h); none: the
  // program's rules alone.
  rules::OfficeRules officeRules;
  // The moment the run began, made with the request: what Date() and Now() give in every rule of
  // every unit of the run.
  base::DateTime started = localNow();
  // Called after each statement of a unit, on that unit's thread, with the connection it ran on
  // still open: for a profiler (tools/statement_costs.cpp), never for a run's results.
  engine::StatementObserver statementRan = {};
};

}  // namespace kolt::run
