// What the validation window lists when it loads, and what it must say about units it cannot list:
// the run's unit listing (run/unit_listing.h), which kolt-validar shares so that both say the same.
#pragma once

#include "run/unit_listing.h"

namespace kolt::forms {

using run::readUnits;
using run::UnitListing;

}  // namespace kolt::forms
