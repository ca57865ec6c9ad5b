// One unit's validation, from its records to its verdict. It copies the unit's records of the
// period and the catalogues into a working database of its own, runs the rule plan over it, writes
// the unit's workbook once, whole, and returns the verdict with its failures and times. It shares
// nothing that changes with the units running beside it: each thread has its own connections, each
// unit its own files, log lines and trace.
#pragma once

#include <functional>
#include <string>

#include "engine/connection.h"
#include "results/results_folder.h"
#include "rules/validaciones.h"
#include "run/run_request.h"
#include "run/source_check.h"
#include "run/unit_validation.h"

namespace kolt::run {

// The rule progress of one unit, called from the unit's thread.
using UnitProgress = std::function<void(const std::string& unit, const rules::RuleProgress&)>;

// Validates units one after another on one thread, with that thread's own connections to the
// source and the catalogue.
class UnitValidator {
 public:
  UnitValidator(const RunRequest& request, const results::ResultsFolder& folder, bool keepTrace,
                UnitProgress progress);

  // The first unit of the run passes the run's `sourceCheck`: its copies then judge the source,
  // and a copy that shows it unusable makes the result sourceUnusable.
  UnitValidation validate(const Unit& unit, SourceCheck* sourceCheck = nullptr);

 private:
  struct Pass;
  // Opens this thread's connections and makes the unit's working database; false when it cannot.
  bool makeWorkingDatabase(Pass& pass);
  // The unit's records of the period and the catalogues into its working database. False when a
  // copy shows `sourceCheck` the source unusable: the outcome then says so.
  bool copyRecords(Pass& pass, SourceCheck* sourceCheck);
  // The descriptions of the office's rules into the working database's catValidaciones.
  void addOfficeDescriptions(Pass& pass);
  // The rule plan over the working database; its sheets go to the workbook in memory.
  void runRules(Pass& pass);
  // What changed in the unit since its latest earlier run (RunRequest::earlier).
  void compareWithEarlier(Pass& pass, UnitResult& result) const;
  // Writes the unit's workbook, its Resumen and Seguimiento after the rules' sheets; true when it
  // was written.
  bool writeWorkbook(Pass& pass);
  // Whether the run was asked to stop (RunRequest::cancel).
  bool stopRequested() const;
  // Ends a unit stopped at the run's request.
  UnitValidation stopped(Pass& pass);

  const RunRequest& request_;
  const results::ResultsFolder& folder_;
  bool keepTrace_;
  UnitProgress progress_;
  std::string dates_;
  engine::Connection source_, catalogue_;
};

}  // namespace kolt::run
