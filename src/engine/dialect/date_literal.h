// The text between the # signs of a date literal, read as the Access engine reads it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kolt::engine::dialect {

// The canonical date text (base/date_text.h) of a literal's text, or nullopt for one the engine
// would not read or that this dialect will not guess at. The forms read:
// - month/day/year as the engine reads every literal, whatever the machine's settings
//   (#07/01/2023# is the 1st of July), or year first when it has four digits (#2023/07/01#), with
//   / or - between the parts;
// - an English month name, whole or in three letters, before or after the day: #02-Jan-2024#,
//   #January 2, 2024#, #1 Jan 93#, #Jan 2024# (the 1st);
// - a year of two digits as Windows reads it by default: 00 to 29 are 2000 to 2029, 30 to 99 are
//   1930 to 1999;
// - a time after the date or alone (on Access's day zero, 1899-12-30): 22:30, 22:30:15,
//   10:30 PM, 10 PM.
// A day and month that do not make a date (#13/01/2024#, #02/30/2024#) are refused, not turned
// round, and so is a date without its year, which would depend on the day the rule runs.
std::optional<std::string> readDateLiteral(std::string_view text);

}  // namespace kolt::engine::dialect
