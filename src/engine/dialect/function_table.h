// The Access functions the dialect accepts, one row each.
//
// The emitter reads a row to write a call (the SQLite name, and whether the number of arguments
// is one the function takes) and registerFunctions reads the same row to give SQLite the
// implementation under that name for each of those numbers of arguments. With one table the two
// cannot drift apart: a call the emitter lets through always finds its function registered.
#pragma once

#include <span>
#include <string_view>

struct sqlite3_context;
struct sqlite3_value;

namespace kolt::engine::dialect {

using SqlFunction = void (*)(sqlite3_context* ctx, int argc, sqlite3_value** argv);

struct AccessFunction {
  std::string_view name;       // as Access spells it; a call may write it in any letter case
  std::string_view engine;     // the SQLite function a call becomes; empty when it is no call
  int minArgs, maxArgs;        // a call with fewer or more is refused at translation
  SqlFunction implementation;  // registered under `engine`; null when that is an SQLite built-in
};

std::span<const AccessFunction> accessFunctions();

// The row of the function a call names, in any letter case; null for one the dialect lacks.
const AccessFunction* findAccessFunction(std::string_view name);

}  // namespace kolt::engine::dialect
