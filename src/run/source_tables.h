// The unit list read from the source database.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/connection.h"
#include "engine/statement_log.h"
#include "rules/frame_steps.h"

namespace kolt::run {

// The entries of the unit list, "{CLUES}  {DescUnidad}", for the units present in EGRESO and listed
// in CATCLUES, sorted by their text. Rebuilds CLUESSEL on the way, in `cnnOrigen`'s own memory when
// it was opened read-only (never in the source, which may be shared or not ours to write). Throws
// base::Error when EGRESO or CATCLUES cannot be read.
std::vector<std::string> CargaUnidades(engine::Connection& cnnOrigen, engine::StatementLog& log);

// The unit code of a list entry: its text before the two-blank separator (the whole text when there
// is none). Codes of any length come out whole, never cut or padded with part of the name.
std::string unitCode(std::string_view entry);
// The unit name of a list entry: its text after the two-blank separator ("" when there is none).
std::string unitName(std::string_view entry);

}  // namespace kolt::run
