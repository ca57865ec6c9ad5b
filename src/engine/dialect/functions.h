// The Access functions and the case-insensitive collation, as SQLite functions.
//
// Each returns NULL for a NULL argument, but for those whose purpose is NULL (Nz, IsNull, and the
// tests IsNumeric and IsDate), for those that choose among their arguments (Switch, Choose), and
// for &, which takes one NULL as ''. Where the Access engine raises an error on a value it cannot
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
// table gives an implementation, once for each number of arguments the row allows. Date() and Now()
// give the moment of this call until setRunStart fixes another.
void registerFunctions(sqlite3* db);
// Date() and Now() give `start` (its day, and the day with its time) for every later statement, so
// that a run repeated on the same source finds the same rows whatever the hour.
void setRunStart(sqlite3* db, const base::DateTime& start);

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

// What is wrong with a Like pattern, in words for its author (a [ without its ], a range such as
// [Z-A] whose first character sorts after its last); empty for a well formed one.
std::string likePatternFault(std::string_view pattern);
// Whether `text` matches the Access Like `pattern` (* ? # [list] [!list] [a-z]), ignoring case as
// every text comparison does; a range holds what sorts between its ends (à and ñ are in [a-z]).
// A malformed pattern matches nothing.
bool accessLike(std::string_view text, std::string_view pattern);

// Shared by the files of the implementations (functions.cpp, date_functions.cpp,
// format_function.cpp, comparison.cpp) and read by the tests. Texts compare as the Access engine
// compares them: letter case ignored, an accent telling texts apart but sorting a letter just
// after the plain one (a < á < b, n < ñ < o).
int compareIgnoringCase(std::string_view a, std::string_view b);
// Whether compareIgnoringCase orders `text` against every other such text as their bytes do:
// ASCII without small letters (which equal capitals) and without [ \ ] ^ _ ` (which capitals,
// read as small letters, sort after). Keys of digits, capitals and dates are such texts.
bool comparesAsBytes(std::string_view text);
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
// A date as Access writes it as text on a Windows set to Spanish (Mexico): the short date form
// dd/mm/aaaa, then, only when the time of day is not midnight, the long time form hh:mm:ss with
// "a. m." or "p. m." ("31/01/2024 10:30:00 p. m."); a time on the day 30/12/1899, which is the
// time alone, is written without its date.
std::string accessDateText(const base::DateTime& date);
// A text value that is a date as the engine stores it (base/date_text.h); nullopt for any other.
std::optional<base::DateTime> storedDate(sqlite3_value* v);

}  // namespace kolt::engine::dialect
