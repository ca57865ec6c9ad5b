// A column of the current row of a SQLite statement as the program's value.
#pragma once

#include "base/value.h"

struct sqlite3_stmt;

namespace kolt::engine {

// Integers, reals, texts and blobs as SQLite stored them; NULL as the empty value.
base::Value columnValue(sqlite3_stmt* statement, int column);

}  // namespace kolt::engine
