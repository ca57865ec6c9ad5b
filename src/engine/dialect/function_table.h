// The Access functions the dialect accepts, one row each.
//
// The emitter reads a row to write a call (the SQLite name, and whether the number of arguments
// is one the function takes), registerFunctions reads the same row to give SQLite the
// implementation under that name for each of those numbers of arguments, and the office's
// reference (docs/reglas-adicionales.md, written by kolt-funciones) reads its usage, example and
// behaviour. With one table none of them can drift apart: a call the emitter lets through always
// finds its function registered, and the reference lists exactly the functions a rule may call.
//
// A row lives beside its implementation, which no other file sees: functions.cpp holds the text,
// number, conversion and condition functions, date_functions.cpp the date functions,
// format_function.cpp Format, and function_table.cpp the rows written as SQLite built-ins or by
// the emitter itself.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

struct sqlite3_context;
struct sqlite3_value;

namespace kolt::engine::dialect {

using SqlFunction = void (*)(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// A call's arguments as the emitter sees them before anything runs: the text of each one written
// as a literal (a text or a number), nullopt for any other expression.
using LiteralArguments = std::span<const std::optional<std::string_view>>;
// What is wrong with a call that can be told from its literal arguments, as the message that
// refuses the statement (Spanish, saying what to write instead); empty when nothing is.
using CallCheck = std::string (*)(LiteralArguments arguments);

// The families the reference lists the functions in, in this order.
enum class FunctionFamily { Text, Number, Conversion, Date, Condition, Aggregate };

// What a function gives, whatever its arguments: the emitter compares a call with a literal of
// another kind by it (Year(egreso) = '2023' as numbers, CDate(x) > '01/07/2023' as dates), and a
// date is exported as a date cell. A truth is -1 or 0, a number to every comparison. Unknown: it
// depends on the arguments (Nz, IIf, Min), and only the rows tell.
enum class ResultKind { Number, Text, Date, Truth, Unknown };

struct AccessFunction {
  std::string_view name;       // as Access spells it; a call may write it in any letter case
  std::string_view engine;     // the SQLite function a call becomes; empty when it is no call
  int minArgs, maxArgs;        // a call with fewer or more is refused at translation
  SqlFunction implementation;  // registered under `engine`; null when that is an SQLite built-in
  FunctionFamily family;
  ResultKind result;
  std::string_view usage;      // the call with its arguments named: "Left(texto, n)"
  std::string_view example;    // a condition or expression an office would write with it
  std::string_view behaviour;  // what it gives, on Null and at its edges (Spanish)
  CallCheck check = nullptr;   // refuses calls whose literal arguments it cannot take
};

// Every row, family by family.
std::span<const AccessFunction> accessFunctions();

// The row of the function a call names, in any letter case; null for one the dialect lacks.
const AccessFunction* findAccessFunction(std::string_view name);

// The rows each implementation file holds (see above); accessFunctions() joins them.
std::span<const AccessFunction> textAndNumberFunctions();  // functions.cpp
std::span<const AccessFunction> dateFunctions();           // date_functions.cpp
std::span<const AccessFunction> formatFunctions();         // format_function.cpp

}  // namespace kolt::engine::dialect
