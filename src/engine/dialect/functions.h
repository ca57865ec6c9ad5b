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
struct sqlite3_context;
struct sqlite3_value;

namespace kolt::engine::dialect {

// Registers the collation and, under each row's SQLite name of function_table.h, the functions the
// table gives an implementation, once for each number of arguments the row allows.
void registerFunctions(sqlite3* db);

// The implementations the table names.
void lenFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void leftFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void rightFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void midFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void valFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void cintFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void cdateFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// Exposed for tests.
int compareIgnoringCase(std::string_view a, std::string_view b);
std::optional<double> accessVal(std::string_view text);
std::optional<int> accessCInt(std::string_view text);
std::optional<int> accessCInt(double value);
std::optional<std::string> accessCDate(std::string_view text);

}  // namespace kolt::engine::dialect
