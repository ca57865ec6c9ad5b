// What the validation window lists when it loads, and what it must say about units it cannot list.
//
// A unit of EGRESO that CATCLUES does not name is left out of the list, as it always was; the
// window says so under the list, so that no unit silently goes unvalidated and an empty list never
// comes without a reason.
#pragma once

#include <string>
#include <vector>

#include "engine/connection.h"
#include "run/unit.h"

namespace kolt::forms {

struct UnitListing {
  std::vector<run::Unit> units;             // in list order
  std::vector<std::string> notInCatalogue;  // codes of EGRESO that CATCLUES lacks, sorted

  // The note under the list; empty when every unit of EGRESO is listed.
  std::string notice() const;
};

// Rebuilds CLUESSEL beside the source database and reads the list (CargaUnidades). Throws
// base::Error when EGRESO or CATCLUES cannot be read. Needs no window: it may run away from the
// window thread.
UnitListing readUnits(engine::Connection& cnnOrigen);

}  // namespace kolt::forms
