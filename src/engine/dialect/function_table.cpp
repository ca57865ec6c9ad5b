#include "engine/dialect/function_table.h"

#include <algorithm>

#include "engine/dialect/functions.h"

namespace kolt::engine::dialect {
namespace {

// Trim and its kind and the aggregates are written as SQLite built-ins; the functions that convert,
// cut or compare text, and the date functions, are the dialect's own (functions.cpp,
// date_functions.cpp). IIf has no SQLite name: the emitter writes it as a CASE.
// clang-format off
constexpr AccessFunction kAccessFunctions[] = {
  // Access      SQLite            fewest most  implementation
  {"Trim",       "trim",           1,     1,    nullptr},
  {"LTrim",      "ltrim",          1,     1,    nullptr},
  {"RTrim",      "rtrim",          1,     1,    nullptr},
  {"Len",        "kolt_len",       1,     1,    lenFunction},
  {"Left",       "kolt_left",      2,     2,    leftFunction},
  {"Right",      "kolt_right",     2,     2,    rightFunction},
  {"Mid",        "kolt_mid",       2,     3,    midFunction},
  {"Val",        "kolt_val",       1,     1,    valFunction},
  {"CInt",       "kolt_cint",      1,     1,    cintFunction},
  {"CDate",      "kolt_cdate",     1,     1,    cdateFunction},
  {"UCase",      "kolt_ucase",     1,     1,    ucaseFunction},
  {"LCase",      "kolt_lcase",     1,     1,    lcaseFunction},
  {"Nz",         "kolt_nz",        1,     2,    nzFunction},
  {"IIf",        "",               3,     3,    nullptr},
  {"Count",      "count",          1,     1,    nullptr},
  {"Sum",        "sum",            1,     1,    nullptr},
  {"Min",        "min",            1,     1,    nullptr},
  {"Max",        "max",            1,     1,    nullptr},
  {"Avg",        "avg",            1,     1,    nullptr},
  {"InStr",      "kolt_instr",     2,     3,    instrFunction},
  {"CLng",       "kolt_clng",      1,     1,    clngFunction},
  {"CDbl",       "kolt_cdbl",      1,     1,    cdblFunction},
  {"CStr",       "kolt_cstr",      1,     1,    cstrFunction},
  {"Year",       "kolt_year",      1,     1,    yearFunction},
  {"Month",      "kolt_month",     1,     1,    monthFunction},
  {"Day",        "kolt_day",       1,     1,    dayFunction},
  {"DateSerial", "kolt_dateserial", 3,    3,    dateSerialFunction},
  {"DateAdd",    "kolt_dateadd",   3,     3,    dateAddFunction},
  {"DateDiff",   "kolt_datediff",  3,     3,    dateDiffFunction},
  {"DatePart",   "kolt_datepart",  2,     2,    datePartFunction},
  {"IsNull",     "kolt_isnull",    1,     1,    isNullFunction},
};
// clang-format on

constexpr char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

constexpr bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

// Each name once in any letter case, so a lookup has one answer; a registered function has a name
// to be registered under; and SQLite registers at most 127 arguments.
constexpr bool wellFormed() {
  for (auto f = std::begin(kAccessFunctions); f != std::end(kAccessFunctions); ++f) {
    if (f->minArgs < 0 || f->minArgs > f->maxArgs || f->maxArgs > 127) return false;
    if (f->engine.empty() && f->implementation != nullptr) return false;
    for (auto g = std::begin(kAccessFunctions); g != f; ++g)
      if (sameName(f->name, g->name)) return false;
  }
  return true;
}
static_assert(wellFormed());

}  // namespace

std::span<const AccessFunction> accessFunctions() {
  return kAccessFunctions;
}

const AccessFunction* findAccessFunction(std::string_view name) {
  for (const AccessFunction& f : kAccessFunctions)
    if (sameName(f.name, name)) return &f;
  return nullptr;
}

}  // namespace kolt::engine::dialect
