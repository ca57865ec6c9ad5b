// The unit list of a source, and what must be said about units it cannot hold.
//
// A unit of EGRESO that CATCLUES does not name is left out of the list (it has no name to show);
// the window says so under the list and kolt-validar on standard error, in the same words, so that
// no unit silently goes unvalidated and an empty list never comes without a reason.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "access/import.h"
#include "engine/connection.h"
#include "run/unit.h"

namespace kolt::run {

struct UnitListing {
  std::vector<Unit> units;                  // in list order
  std::vector<std::string> notInCatalogue;  // codes of EGRESO that CATCLUES lacks, sorted

  // The note under the list; empty when every unit of EGRESO is listed.
  std::string notice() const;
};

// What the window says when "Validar" finds that the source changed since its units were listed
// and that the units it offers now are others: those added, those gone and those whose name
// changed, by their codes as notice() names them, and that nothing was validated. `file` is the
// source's name as the user knows it.
std::string listChangedMessage(const std::string& file, const std::vector<Unit>& listed,
                               const std::vector<Unit>& now);

// How kolt-validar --unidades marks a unit of EGRESO that CATCLUES lacks, after its code.
inline constexpr const char* kNoEstaEnCatclues = "(no está en CATCLUES)";

// Rebuilds CLUESSEL beside the source database and reads the list (CargaUnidades). Throws
// base::Error when EGRESO or CATCLUES cannot be read. Needs no window: it may run away from the
// window thread.
UnitListing readUnits(engine::Connection& cnnOrigen);

// The unit list of the source file `source` alone, as kolt-validar --unidades gives it: it reads
// the source through its companion beside it (reused, or built there), or, where that folder
// cannot be written, into memory, so that a listing never leaves a copy of the patients' data
// anywhere else. It opens no catalogue and writes nothing in any results folder. Throws
// base::Error as openDatabases does.
UnitListing listUnits(const std::filesystem::path& source,
                      const access::ImportOptions& options = {});

}  // namespace kolt::run
