// The unit list read from the source database.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/connection.h"
#include "engine/statement_log.h"
#include "rules/frame_steps.h"
#include "run/unit.h"

namespace kolt::run {

// The units present in EGRESO and listed in CATCLUES, in the order of the unit list (sorted by
// their text, "{CLUES}  {DescUnidad}"). Rebuilds CLUESSEL on the way, in `cnnOrigen`'s own memory
// when it was opened read-only (never in the source, which may be shared or not ours to write).
// Throws base::Error when EGRESO or CATCLUES cannot be read.
std::vector<Unit> CargaUnidades(engine::Connection& cnnOrigen, engine::StatementLog& log);

}  // namespace kolt::run
