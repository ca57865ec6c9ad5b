// The Access functions and the case-insensitive collation, as SQLite functions.
//
// Each returns NULL for a NULL argument. Where the Access engine raises an error on a value it
// cannot convert (CInt of 'abc', of '' or of 40000), the row is given NULL instead: the engine's
// error would abandon the whole statement, and so every finding of the rule, over one bad value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

namespace kolt::engine::dialect {

void registerFunctions(sqlite3* db);

// Exposed for tests.
int compareIgnoringCase(std::string_view a, std::string_view b);
std::optional<double> accessVal(std::string_view text);
std::optional<int> accessCInt(std::string_view text);
std::optional<int> accessCInt(double value);
std::optional<std::string> accessCDate(std::string_view text);

}  // namespace kolt::engine::dialect
