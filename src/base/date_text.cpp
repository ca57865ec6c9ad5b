#include "base/date_text.h"

#include <cmath>
#include <cstdio>

#include "base/names.h"

namespace kolt::base {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's days_from_civil).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

const std::int64_t kEpochDays = daysFromCivil(1899, 12, 30);

bool readDigits(std::string_view text, std::size_t pos, std::size_t count, int& out) {
  if (pos + count > text.size()) return false;
  out = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    out = out * 10 + (text[i] - '0');
  }
  return true;
}

}  // namespace

bool isDateType(std::string_view declaredType) {
  return sameName(declaredType, kDateType) || sameName(declaredType, "DATE");
}

bool isBooleanType(std::string_view declaredType) {
  return sameName(declaredType, kBooleanType);
}

bool isValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

std::string formatCanonical(const DateTime& v) {
  // Every date the importer reads and many a rule makes pass through here: those whose fields
  // fit their places, all real ones, are written digit by digit, the rest as printf writes them.
  const auto fits = [](int value, int most) { return value >= 0 && value <= most; };
  if (fits(v.year, 9999) && fits(v.month, 99) && fits(v.day, 99) && fits(v.hour, 99) &&
      fits(v.minute, 99) && fits(v.second, 99) && fits(v.fraction100ns, 9'999'999)) {
    char text[27];
    const auto put = [&](std::size_t at, int value, std::size_t digits) {
      for (std::size_t i = digits; i-- > 0; value /= 10)
        text[at + i] = static_cast<char>('0' + value % 10);
    };
    put(0, v.year, 4);
    text[4] = '-';
    put(5, v.month, 2);
    text[7] = '-';
    put(8, v.day, 2);
    text[10] = ' ';
    put(11, v.hour, 2);
    text[13] = ':';
    put(14, v.minute, 2);
    text[16] = ':';
    put(17, v.second, 2);
    if (v.fraction100ns == 0) return std::string(text, 19);
    text[19] = '.';
    put(20, v.fraction100ns, 7);
    return std::string(text, 27);
  }
  char buffer[40];
  int n = std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month,
                        v.day, v.hour, v.minute, v.second);
  if (v.fraction100ns != 0)
    std::snprintf(buffer + n, sizeof buffer - static_cast<std::size_t>(n), ".%07d",
                  v.fraction100ns);
  return buffer;
}

std::optional<DateTime> parseCanonical(std::string_view text) {
  DateTime v;
  if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  if (!readDigits(text, 0, 4, v.year) || !readDigits(text, 5, 2, v.month) ||
      !readDigits(text, 8, 2, v.day) || !readDigits(text, 11, 2, v.hour) ||
      !readDigits(text, 14, 2, v.minute) || !readDigits(text, 17, 2, v.second))
    return std::nullopt;
  if (text.size() > 19) {
    const std::size_t digits = text.size() - 20;
    if (text[19] != '.' || digits < 1 || digits > 7 ||
        !readDigits(text, 20, digits, v.fraction100ns))
      return std::nullopt;
    for (std::size_t i = digits; i < 7; ++i) v.fraction100ns *= 10;
  }
  if (!isValidDate(v.year, v.month, v.day) || v.hour > 23 || v.minute > 59 || v.second > 59)
    return std::nullopt;
  return v;
}

double toSerial(const DateTime& v) {
  const double days = static_cast<double>(
      daysFromCivil(v.year, static_cast<unsigned>(v.month), static_cast<unsigned>(v.day)) -
      kEpochDays);
  const double time =
      (v.hour * 3600.0 + v.minute * 60.0 + v.second + v.fraction100ns / 1e7) / 86400.0;
  return days < 0 ? days - time : days + time;
}

std::optional<DateTime> fromSerial(double serial) {
  // Years 1 to 9999: the range Access itself accepts (Access's own floor is year 100).
  if (!std::isfinite(serial) || serial < -693593.0 || serial >= 2958466.0) return std::nullopt;
  const double wholeDays = std::trunc(serial);
  // Whole seconds: the resolution of an ordinary date/time value.
  std::int64_t seconds = std::llround(std::fabs(serial - wholeDays) * 86400.0);
  std::int64_t calendarDay = kEpochDays + static_cast<std::int64_t>(wholeDays);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++calendarDay;
  }
  DateTime v;
  civilFromDays(calendarDay, v.year, v.month, v.day);
  if (v.year < 1 || v.year > 9999) return std::nullopt;
  v.hour = static_cast<int>(seconds / 3600);
  v.minute = static_cast<int>(seconds / 60 % 60);
  v.second = static_cast<int>(seconds % 60);
  return v;
}

}  // namespace kolt::base
