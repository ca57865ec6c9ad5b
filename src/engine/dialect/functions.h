// The Access functions and the case-insensitive collation, as SQLite functions.
//
// Each returns NULL for a NULL argument, but for those whose purpose is NULL (Nz, IsNull) and for
// &, which takes one NULL as ''. Where the Access engine raises an error on a value it cannot
// convert (CInt of 'abc', of '' or of 40000), the row is given NULL instead: the engine's error
// would abandon the whole statement, and so every finding of the rule, over one bad value.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/date_text.h"

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
void clngFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void cdblFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void cstrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void nzFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void isNullFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void instrFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void ucaseFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void lcaseFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
// date_functions.cpp
void yearFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void monthFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void dayFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void dateSerialFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void dateAddFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void dateDiffFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void datePartFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// The operators whose Access behaviour SQLite's own lack; the emitter writes each as a call of the
// SQLite name beside it, and registerFunctions registers them with two arguments.
inline constexpr const char* kConcatFunction = "kolt_concat";         // &
inline constexpr const char* kAddFunction = "kolt_add";               // +
inline constexpr const char* kSubtractFunction = "kolt_subtract";     // -
inline constexpr const char* kModFunction = "kolt_mod";               // Mod
inline constexpr const char* kMultiplyFunction = "kolt_multiply";     // *
inline constexpr const char* kDivideFunction = "kolt_divide";         // /
inline constexpr const char* kIntegerDivideFunction = "kolt_intdiv";  // integer division (\)
inline constexpr const char* kLikeFunction = "kolt_like";             // Like (text, pattern)
// A value against a literal of another kind, compared as Access compares them (comparison.cpp):
// -1, 0, 1 or NULL, for the emitter to compare with 0.
inline constexpr const char* kCompareFunction = "kolt_compare";
void concatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void addFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void subtractFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void modFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void multiplyFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void divideFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void integerDivideFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void compareFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// The intervals DateAdd, DateDiff and DatePart take ('yyyy', 'q', 'm', 'd', 'ww', 'h', 'n', 's'),
// in any letter case.
bool isDateInterval(std::string_view interval);
// What is wrong with a Like pattern, in words for its author (a [ without its ], a range such as
// [Z-A] whose first character sorts after its last); empty for a well formed one.
std::string likePatternFault(std::string_view pattern);
// Whether `text` matches the Access Like `pattern` (* ? # [list] [!list] [a-z]), ignoring case as
// every text comparison does; a range holds what sorts between its ends (à and ñ are in [a-z]).
// A malformed pattern matches nothing.
bool accessLike(std::string_view text, std::string_view pattern);

// Exposed for tests. Texts compare as the Access engine compares them: letter case ignored, an
// accent telling texts apart but sorting a letter just after the plain one (a < á < b, n < ñ < o).
int compareIgnoringCase(std::string_view a, std::string_view b);
std::optional<double> accessVal(std::string_view text);
std::optional<int> accessCInt(std::string_view text);
std::optional<int> accessCInt(double value);
std::optional<std::string> accessCDate(std::string_view text);
// A value as a number the way CDbl reads it: a number, a text that is wholly a number, a date as
// its serial number; nullopt for NULL and anything else.
std::optional<double> accessNumber(sqlite3_value* v);
// A value as a date: canonical text, a text form CDate reads, or a serial number.
std::optional<base::DateTime> accessDate(sqlite3_value* v);
std::string accessUCase(std::string_view text);
std::string accessLCase(std::string_view text);

}  // namespace kolt::engine::dialect
