#include "run/date_utilities.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <optional>

#include "base/date_text.h"
#include "base/platform/local_time.h"

namespace kolt::run {
namespace {

// The number in text[pos, pos+count), or nothing when a character is not a digit.
std::optional<int> number(std::string_view text, std::size_t pos, std::size_t count) {
  if (pos + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = pos; i < pos + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

struct DayMonthYear {
  int day, month, year;
};

// "dd/mm/yyyy" with one- or two-digit day and month.
std::optional<DayMonthYear> readDate(std::string_view text) {
  const std::size_t first = text.find('/');
  const std::size_t second = first == std::string_view::npos ? first : text.find('/', first + 1);
  if (second == std::string_view::npos || first < 1 || first > 2 || second - first - 1 < 1 ||
      second - first - 1 > 2 || text.size() - second - 1 != 4)
    return std::nullopt;
  auto d = number(text, 0, first), m = number(text, first + 1, second - first - 1),
       y = number(text, second + 1, 4);
  if (!d || !m || !y || !base::isValidDate(*y, *m, *d)) return std::nullopt;
  return DayMonthYear{*d, *m, *y};
}

}  // namespace

std::string FechaSQL(std::string_view fecha) {
  auto date = readDate(fecha);
  if (!date) return std::string(fecha);
  char literal[16];
  std::snprintf(literal, sizeof literal, "#%04d/%02d/%02d#", date->year, date->month, date->day);
  return literal;
}

bool ValidaFecha(std::string_view fecha, DateMessages& messages, int currentYear) {
  auto invalid = [&] {
    messages.beep();
    messages.message(kMensajeFechaInvalida, kTituloValidaFecha);
    return false;
  };
  if (fecha.size() < 10) return false;
  auto year = number(fecha, 6, 4);
  if (!year) return invalid();
  // Every year up to the current one: a fixed upper year would one day refuse all current data.
  // A later year is most likely a slip of one digit, which the user is told about rather than
  // left to guess at.
  if (*year > currentYear) {
    messages.beep();
    messages.message(kMensajeFechaFutura, kTituloValidaFecha);
    return false;
  }
  if (*year < 1900) return false;
  auto month = number(fecha, 3, 2);
  if (!month) return invalid();
  if (*month > 12) return false;
  auto day = number(fecha, 0, 2);
  if (!day) return invalid();
  if (((*month == 1 || *month == 3 || *month == 5 || *month == 7 || *month == 8 || *month == 10 ||
        *month == 12) &&
       *day > 31) ||
      ((*month == 4 || *month == 6 || *month == 9 || *month == 11) && *day > 30) ||
      (*month == 2 && *day > 29))
    return false;
  if (fecha.size() != 10 || fecha[2] != '/' || fecha[5] != '/' ||
      !base::isValidDate(*year, *month, *day))
    return invalid();
  return true;
}

bool ValidaFecha(std::string_view fecha, DateMessages& messages) {
  const auto today = std::chrono::year_month_day(
      std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
  return ValidaFecha(fecha, messages, static_cast<int>(today.year()));
}

long dayNumber(std::string_view fecha) {
  auto date = readDate(fecha);
  if (!date) return 0;
  const auto days =
      std::chrono::sys_days(std::chrono::year(date->year) / static_cast<unsigned>(date->month) /
                            static_cast<unsigned>(date->day));
  return static_cast<long>(days.time_since_epoch().count());
}

base::DateTime localNow() {
  const std::tm now = platform::localTime(std::time(nullptr));
  base::DateTime out;
  out.year = now.tm_year + 1900, out.month = now.tm_mon + 1, out.day = now.tm_mday;
  out.hour = now.tm_hour, out.minute = now.tm_min;
  out.second = std::min(now.tm_sec, 59);  // a leap second is the second before it
  return out;
}

std::string timeStamp(const base::DateTime& moment) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", moment.year, moment.month,
                moment.day, moment.hour, moment.minute, moment.second);
  return text;
}

}  // namespace kolt::run
