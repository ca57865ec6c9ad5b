// Dates as the engine stores them.
//
// Every date in an engine database is text in one canonical form, "YYYY-MM-DD HH:MM:SS", with
// ".fffffff" (100-ns units) appended only when the value has a fraction of a second. Years are
// always four digits ("0632-01-01 00:00:00"), so comparing two such texts character by character
// orders them in time, and a date with a time of day sorts after the midnight of its day. Columns
// holding dates are declared with the type kDateType, which is how the workbook export knows to
// write them as dates.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kolt::base {

inline constexpr std::string_view kDateType = "DATETIME";

// Yes/No values are stored as the Access engine stores them, -1 (yes) and 0 (no), in columns
// declared with this type, so the workbook export can write them as TRUE/FALSE.
inline constexpr std::string_view kBooleanType = "BOOLEAN";

bool isDateType(std::string_view declaredType);
bool isBooleanType(std::string_view declaredType);

struct DateTime {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
  int fraction100ns = 0;  // 0 .. 9,999,999

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// True for a real day of the proleptic Gregorian calendar between the years 1 and 9999.
bool isValidDate(int year, int month, int day);

std::string formatCanonical(const DateTime& value);
std::optional<DateTime> parseCanonical(std::string_view text);

// Days since 1899-12-30 (the Access and Excel epoch), time of day as the fraction, for a value from
// 1899-12-30 on. Before that, Access counts whole days backwards and keeps the time as a positive
// fraction (-1.25 is 1899-12-29 06:00); both directions follow that rule.
double toSerial(const DateTime& value);
std::optional<DateTime> fromSerial(double serial);

}  // namespace kolt::base
