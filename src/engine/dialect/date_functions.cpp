// The Access date functions: Year, Month, Day, Weekday, DateSerial, DateAdd, DateDiff, DatePart,
// DateValue, Date, Now, and the date arithmetic of + and -.
//
// A date reaches them as the engine stores it (canonical text, functions.h), as the text forms
// CDate reads, or as an Access serial number; a value that is none of these gives NULL, as CDate
// does. Dates are worked on as a count of days and seconds of the proleptic Gregorian calendar, so
// that a day or an hour is crossed exactly where the calendar crosses it.
#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "base/date_text.h"
#include "engine/dialect/function_table.h"
#include "engine/dialect/functions.h"

namespace kolt::engine::dialect {
namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Days since 1970-01-01 of a civil date, and back (H. Hinnant's algorithms).
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = floorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
  z += 719468;
  const std::int64_t era = floorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

int daysInMonth(std::int64_t y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return m == 2 && leap ? 29 : kDays[m - 1];
}

// A date as days since 1970-01-01 and seconds into that day.
struct Moment {
  std::int64_t day = 0;
  std::int64_t second = 0;
};

Moment momentOf(const base::DateTime& d) {
  return {daysFromCivil(d.year, d.month, d.day), d.hour * 3600LL + d.minute * 60LL + d.second};
}

// Access takes dates from the year 100 to 9999; a result outside them is its overflow error, and
// the row gets NULL as for any value a function cannot give (functions.h).
void resultMoment(sqlite3_context* ctx, std::int64_t day, std::int64_t second) {
  day += floorDiv(second, 86400);
  second -= floorDiv(second, 86400) * 86400;
  base::DateTime d;
  std::int64_t year;
  civilFromDays(day, year, d.month, d.day);
  if (year < 100 || year > 9999) return sqlite3_result_null(ctx);
  d.year = static_cast<int>(year);
  d.hour = static_cast<int>(second / 3600);
  d.minute = static_cast<int>(second / 60 % 60);
  d.second = static_cast<int>(second % 60);
  const std::string text = base::formatCanonical(d);
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// The interval argument, as one of the settings DateAdd, DateDiff and DatePart share.
enum class Interval {
  Year,
  Quarter,
  Month,
  DayOfYear,
  Day,
  Weekday,
  Week,
  Hour,
  Minute,
  Second,
  None
};

constexpr std::pair<std::string_view, Interval> kIntervals[] = {
    {"yyyy", Interval::Year},   {"q", Interval::Quarter}, {"m", Interval::Month},
    {"y", Interval::DayOfYear}, {"d", Interval::Day},     {"w", Interval::Weekday},
    {"ww", Interval::Week},     {"h", Interval::Hour},    {"n", Interval::Minute},
    {"s", Interval::Second}};

Interval intervalNamed(std::string_view text) {
  std::string s(text);
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const auto& [name, interval] : kIntervals)
    if (s == name) return interval;
  return Interval::None;
}

Interval intervalOf(sqlite3_value* v) {
  if (sqlite3_value_type(v) != SQLITE_TEXT) return Interval::None;
  return intervalNamed(std::string_view(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                        static_cast<std::size_t>(sqlite3_value_bytes(v))));
}

// The days of the week as Access numbers them, 1 (Sunday) to 7 (Saturday); 1970-01-01 was a
// Thursday.
int weekdayOf(std::int64_t day) {
  return static_cast<int>(day + 4 - floorDiv(day + 4, 7) * 7) + 1;
}

// The week a day falls in, counting weeks that begin on `firstDay`: 1970-01-04 was a Sunday.
std::int64_t weekOf(std::int64_t day, int firstDay) {
  return floorDiv(day - 3 - (firstDay - 1), 7);
}

// An optional setting: the first day of the week (1-7; 0, the system's) or the first week of the
// year (1: the one holding 1 January, 2: the first with four days of the year, 3: the first whole
// one; 0, the system's). A Windows set to Spanish (Mexico) begins its weeks on Sunday and its
// years with the week of 1 January, as Access does when the argument is left out, so 0 is 1.
// Null or out of range is Access's invalid argument.
std::optional<int> settingOf(int argc, sqlite3_value** argv, int at, int highest) {
  if (at >= argc) return 1;
  const auto n = accessNumber(argv[at]);
  if (!n || *n < 0 || *n > highest || std::floor(*n) != *n) return std::nullopt;
  return *n == 0 ? 1 : static_cast<int>(*n);
}

// The first day of week 1 of `year`.
std::int64_t firstWeekStart(std::int64_t year, int firstDay, int firstWeek) {
  const std::int64_t january1 = daysFromCivil(year, 1, 1);
  const std::int64_t weekStart = january1 - (weekdayOf(january1) - firstDay + 7) % 7;
  if (firstWeek == 2 && weekStart + 7 - january1 < 4) return weekStart + 7;
  if (firstWeek == 3 && weekStart != january1) return weekStart + 7;
  return weekStart;
}

// A day before week 1 of its year is in the last week of the year before.
std::int64_t weekOfYear(std::int64_t day, std::int64_t year, int firstDay, int firstWeek) {
  std::int64_t start = firstWeekStart(year, firstDay, firstWeek);
  if (day < start) start = firstWeekStart(year - 1, firstDay, firstWeek);
  return floorDiv(day - start, 7) + 1;
}

void invalidArgument(sqlite3_context* ctx) {
  sqlite3_result_error(ctx, "Llamada a procedimiento o argumento no válido", -1);
}

// A whole number argument: Access rounds a fraction half to even.
std::optional<std::int64_t> wholeNumberOf(sqlite3_value* v) {
  const auto n = accessNumber(v);
  if (!n || std::fabs(*n) > 1e15) return std::nullopt;
  return static_cast<std::int64_t>(std::nearbyint(*n));
}

void resultMonthsAdded(sqlite3_context* ctx, const base::DateTime& d, std::int64_t months) {
  const std::int64_t total = d.year * 12LL + (d.month - 1) + months;
  const std::int64_t year = floorDiv(total, 12);
  const int month = static_cast<int>(total - year * 12) + 1;
  if (year < 100 || year > 9999) return sqlite3_result_null(ctx);
  // The day is kept unless the month is shorter: 31 January plus a month is its last day.
  const int day = std::min(d.day, daysInMonth(year, month));
  resultMoment(ctx, daysFromCivil(year, month, day), momentOf(d).second);
}

}  // namespace

std::optional<base::DateTime> accessDate(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return base::fromSerial(sqlite3_value_double(v));
    case SQLITE_TEXT: {
      const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                  static_cast<std::size_t>(sqlite3_value_bytes(v)));
      if (auto d = base::parseCanonical(text)) return d;
      if (auto canonical = accessCDate(text)) return base::parseCanonical(*canonical);
      return std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

namespace {

void yearFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto d = accessDate(argv[0]);
  d ? sqlite3_result_int(ctx, d->year) : sqlite3_result_null(ctx);
}

void monthFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto d = accessDate(argv[0]);
  d ? sqlite3_result_int(ctx, d->month) : sqlite3_result_null(ctx);
}

void dayFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto d = accessDate(argv[0]);
  d ? sqlite3_result_int(ctx, d->day) : sqlite3_result_null(ctx);
}

// Weekday(date[, firstDay]): 1 for the first day of the week, Sunday unless `firstDay` says.
void weekdayFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const auto firstDay = settingOf(argc, argv, 1, 7);
  if (!firstDay) return invalidArgument(ctx);
  const auto d = accessDate(argv[0]);
  if (!d) return sqlite3_result_null(ctx);
  sqlite3_result_int(ctx, (weekdayOf(momentOf(*d).day) - *firstDay + 7) % 7 + 1);
}

void dateSerialFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto year = wholeNumberOf(argv[0]), month = wholeNumberOf(argv[1]),
             day = wholeNumberOf(argv[2]);
  if (!year || !month || !day) return sqlite3_result_null(ctx);
  // Two-digit years as Access reads them by default: 0-29 this century, 30-99 the last.
  std::int64_t y = *year;
  if (y >= 0 && y <= 29) y += 2000;
  if (y >= 30 && y <= 99) y += 1900;
  // A month or day past its end carries into the next: month 14 is February of the next year,
  // day 0 the last day of the month before.
  const std::int64_t total = y * 12 + (*month - 1);
  const std::int64_t first =
      daysFromCivil(floorDiv(total, 12), static_cast<int>(total - floorDiv(total, 12) * 12) + 1, 1);
  resultMoment(ctx, first + *day - 1, 0);
}

// 'y' (day of the year) and 'w' (weekday) add days, as 'd' does.
void dateAddFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const Interval interval = intervalOf(argv[0]);
  const auto number = wholeNumberOf(argv[1]);
  const auto date = accessDate(argv[2]);
  if (interval == Interval::None || !number || !date) return sqlite3_result_null(ctx);
  const Moment m = momentOf(*date);
  switch (interval) {
    case Interval::Year:
      return resultMonthsAdded(ctx, *date, *number * 12);
    case Interval::Quarter:
      return resultMonthsAdded(ctx, *date, *number * 3);
    case Interval::Month:
      return resultMonthsAdded(ctx, *date, *number);
    case Interval::DayOfYear:
    case Interval::Day:
    case Interval::Weekday:
      return resultMoment(ctx, m.day + *number, m.second);
    case Interval::Week:
      return resultMoment(ctx, m.day + 7 * *number, m.second);
    case Interval::Hour:
      return resultMoment(ctx, m.day, m.second + 3600 * *number);
    case Interval::Minute:
      return resultMoment(ctx, m.day, m.second + 60 * *number);
    case Interval::Second:
      return resultMoment(ctx, m.day, m.second + *number);
    case Interval::None:
      break;
  }
  sqlite3_result_null(ctx);
}

// Access counts the boundaries crossed between the two dates, not whole periods elapsed: from
// 31 January to 1 February is one month, from 31 December to 1 January one year, and 'ww' counts
// the first days of the week crossed (Sundays unless the fourth argument names another day). 'w'
// alone counts whole weeks: the days that fall on date1's weekday, date2 counted and date1 not.
// The first week of the year, the fifth argument, changes no count.
void dateDiffFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const Interval interval = intervalOf(argv[0]);
  const auto firstDay = settingOf(argc, argv, 3, 7);
  if (!firstDay || !settingOf(argc, argv, 4, 3)) return invalidArgument(ctx);
  const auto from = accessDate(argv[1]), to = accessDate(argv[2]);
  if (interval == Interval::None || !from || !to) return sqlite3_result_null(ctx);
  const Moment a = momentOf(*from), b = momentOf(*to);
  std::int64_t result = 0;
  switch (interval) {
    case Interval::Year:
      result = to->year - from->year;
      break;
    case Interval::Quarter:
      result = (to->year * 4LL + (to->month - 1) / 3) - (from->year * 4LL + (from->month - 1) / 3);
      break;
    case Interval::Month:
      result = (to->year * 12LL + to->month) - (from->year * 12LL + from->month);
      break;
    case Interval::DayOfYear:
    case Interval::Day:
      result = b.day - a.day;
      break;
    case Interval::Weekday:
      result = (b.day - a.day) / 7;
      break;
    case Interval::Week:
      result = weekOf(b.day, *firstDay) - weekOf(a.day, *firstDay);
      break;
    case Interval::Hour:
      result = (b.day * 24 + b.second / 3600) - (a.day * 24 + a.second / 3600);
      break;
    case Interval::Minute:
      result = (b.day * 1440 + b.second / 60) - (a.day * 1440 + a.second / 60);
      break;
    case Interval::Second:
      result = (b.day * 86400 + b.second) - (a.day * 86400 + a.second);
      break;
    case Interval::None:
      break;
  }
  sqlite3_result_int64(ctx, result);
}

// 'ww': week 1 is the one holding 1 January unless the fifth argument says otherwise, and weeks
// begin on Sunday unless the fourth does; 'w' is the weekday as Weekday gives it.
void datePartFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const Interval interval = intervalOf(argv[0]);
  const auto firstDay = settingOf(argc, argv, 2, 7), firstWeek = settingOf(argc, argv, 3, 3);
  if (!firstDay || !firstWeek) return invalidArgument(ctx);
  const auto date = accessDate(argv[1]);
  if (interval == Interval::None || !date) return sqlite3_result_null(ctx);
  const Moment m = momentOf(*date);
  switch (interval) {
    case Interval::Year:
      return sqlite3_result_int(ctx, date->year);
    case Interval::Quarter:
      return sqlite3_result_int(ctx, (date->month - 1) / 3 + 1);
    case Interval::Month:
      return sqlite3_result_int(ctx, date->month);
    case Interval::DayOfYear:
      return sqlite3_result_int64(ctx, m.day - daysFromCivil(date->year, 1, 1) + 1);
    case Interval::Day:
      return sqlite3_result_int(ctx, date->day);
    case Interval::Weekday:
      return sqlite3_result_int(ctx, (weekdayOf(m.day) - *firstDay + 7) % 7 + 1);
    case Interval::Week:
      return sqlite3_result_int64(ctx, weekOfYear(m.day, date->year, *firstDay, *firstWeek));
    case Interval::Hour:
      return sqlite3_result_int(ctx, date->hour);
    case Interval::Minute:
      return sqlite3_result_int(ctx, date->minute);
    case Interval::Second:
      return sqlite3_result_int(ctx, date->second);
    case Interval::None:
      break;
  }
  sqlite3_result_null(ctx);
}

// DateValue(text): the day a date, or a text CDate reads, falls on, its time left out. A number is
// no date text: Access's type mismatch, here Null.
void dateValueFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) != SQLITE_TEXT) return sqlite3_result_null(ctx);
  const auto d = accessDate(argv[0]);
  if (!d) return sqlite3_result_null(ctx);
  resultMoment(ctx, momentOf(*d).day, 0);
}

// Date() and Now() give the moment the connection was given (setRunStart), not the clock's.
void dateFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* start = static_cast<const base::DateTime*>(sqlite3_user_data(ctx));
  if (!start) return sqlite3_result_null(ctx);
  resultMoment(ctx, momentOf(*start).day, 0);
}

void nowFunction(sqlite3_context* ctx, int, sqlite3_value**) {
  const auto* start = static_cast<const base::DateTime*>(sqlite3_user_data(ctx));
  if (!start) return sqlite3_result_null(ctx);
  const Moment m = momentOf(*start);
  resultMoment(ctx, m.day, m.second);
}

// An interval, or a first day of the week or first week of the year, written out is checked before
// the statement runs, so that a mistaken one stops the rule rather than giving Null on every row.
std::string checkSettings(std::string_view function, LiteralArguments arguments, std::size_t at) {
  static constexpr std::string_view kNames[] = {"el primer día de la semana",
                                                "la primera semana del año"};
  static constexpr int kHighest[] = {7, 3};
  for (std::size_t k = 0; k < 2 && at + k < arguments.size(); ++k) {
    if (!arguments[at + k]) continue;
    const std::string text(*arguments[at + k]);
    const bool valid = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos &&
                       text.size() < 3 && std::stoi(text) <= kHighest[k];
    if (!valid)
      return "Valor no admitido para " + std::string(kNames[k]) + " en la función '" +
             std::string(function) + "': " + text + ". Use un número de 0 a " +
             std::to_string(kHighest[k]) + ".";
  }
  return {};
}

std::string checkInterval(std::string_view function, LiteralArguments arguments) {
  if (arguments.empty() || !arguments[0] || intervalNamed(*arguments[0]) != Interval::None)
    return {};
  return "Intervalo no admitido en la función '" + std::string(function) + "': '" +
         std::string(*arguments[0]) +
         "'. Use 'yyyy', 'q', 'm', 'y', 'd', 'w', 'ww', 'h', 'n' o 's'.";
}

std::string dateAddCheck(LiteralArguments arguments) {
  return checkInterval("DateAdd", arguments);
}
std::string dateDiffCheck(LiteralArguments arguments) {
  std::string refusal = checkInterval("DateDiff", arguments);
  return refusal.empty() ? checkSettings("DateDiff", arguments, 3) : refusal;
}
std::string datePartCheck(LiteralArguments arguments) {
  std::string refusal = checkInterval("DatePart", arguments);
  return refusal.empty() ? checkSettings("DatePart", arguments, 2) : refusal;
}
std::string weekdayCheck(LiteralArguments arguments) {
  return checkSettings("Weekday", arguments, 1);
}

using enum FunctionFamily;

// clang-format off
constexpr AccessFunction kRows[] = {
  {"Year", "kolt_year", 1, 1, yearFunction, Date, ResultKind::Number,
   "Year(fecha)", "Where Year(egreso) <> 2024", "de una fecha o de un texto que `CDate` lee"},
  {"Month", "kolt_month", 1, 1, monthFunction, Date, ResultKind::Number,
   "Month(fecha)", "Where Month(egreso) = 12", "de una fecha o de un texto que `CDate` lee"},
  {"Day", "kolt_day", 1, 1, dayFunction, Date, ResultKind::Number,
   "Day(fecha)", "Where Day(egreso) = 31", "de una fecha o de un texto que `CDate` lee"},
  {"Weekday", "kolt_weekday", 1, 2, weekdayFunction, Date, ResultKind::Number,
   "Weekday(fecha[, primer_día])", "Where Weekday(egreso) = 1",
   "1 (domingo) a 7 (sábado); con `primer_día` (1 domingo ... 7 sábado; 0, el del sistema: "
   "domingo) ese día es el 1", weekdayCheck},
  {"DateSerial", "kolt_dateserial", 3, 3, dateSerialFunction, Date, ResultKind::Date,
   "DateSerial(año, mes, día)", "Where egreso < DateSerial(2024, 1, 1)",
   "un mes o día de más pasa al siguiente: `DateSerial(2024, 14, 1)` es 01/02/2025, "
   "`DateSerial(2024, 3, 0)` es 29/02/2024; años 0-29 son 2000-2029 y 30-99 son 1930-1999"},
  {"DateAdd", "kolt_dateadd", 3, 3, dateAddFunction, Date, ResultKind::Date,
   "DateAdd(intervalo, n, fecha)", "Where DateAdd('d', dias_esta, ingreso) <> egreso",
   "un día que el mes no tiene pasa al último: `DateAdd('m', 1, #01/31/2024#)` es 29/02/2024; "
   "n con decimales se redondea a par; `'y'` y `'w'` suman días", dateAddCheck},
  {"DateDiff", "kolt_datediff", 3, 5, dateDiffFunction, Date, ResultKind::Number,
   "DateDiff(intervalo, fecha1, fecha2[, primer_día[, primera_semana]])",
   "Where DateDiff('d', ingreso, egreso) > 365",
   "cuenta los límites cruzados, no periodos completos: `DateDiff('m', #01/31/2024#, #02/01/2024#)` "
   "es 1 y `DateDiff('yyyy', #12/31/2023#, #01/01/2024#)` es 1; `'ww'` cuenta los domingos (o "
   "los `primer_día`) cruzados; `'w'` cuenta semanas completas; `'y'` cuenta días; negativo si "
   "fecha1 es posterior", dateDiffCheck},
  {"DatePart", "kolt_datepart", 2, 4, datePartFunction, Date, ResultKind::Number,
   "DatePart(intervalo, fecha[, primer_día[, primera_semana]])", "Where DatePart('q', egreso) = 1",
   "`'y'`: día del año; `'w'`: día de la semana como `Weekday`; `'ww'`: la semana 1 es la del 1 de "
   "enero (con `primera_semana` 2, la primera con cuatro días del año; 3, la primera completa) y "
   "las semanas empiezan en domingo (o en `primer_día`)", datePartCheck},
  {"DateValue", "kolt_datevalue", 1, 1, dateValueFunction, Date, ResultKind::Date,
   "DateValue(texto)", "Where DateValue(egreso) <> egreso",
   "la fecha sin su hora, de una fecha o de un texto que `CDate` lee; un número o un texto que no "
   "es fecha: nulo"},
  {"Date", "kolt_date", 0, 0, dateFunction, Date, ResultKind::Date,
   "Date()", "Where egreso > Date()",
   "el día en que empezó la validación: igual para todas las reglas y unidades de una ejecución"},
  {"Now", "kolt_now", 0, 0, nowFunction, Date, ResultKind::Date,
   "Now()", "Where egreso > Now()",
   "el día y la hora en que empezó la validación: igual para todas las reglas y unidades de una "
   "ejecución"},
};
// clang-format on

}  // namespace

std::span<const AccessFunction> dateFunctions() {
  return kRows;
}

// + and - as Access reads them on the kinds of value this engine stores. A date is canonical text;
// other text that is not a number is a type mismatch in Access, here NULL.
namespace {

enum class Operand { Number, Date, Text };

Operand operandOf(sqlite3_value* v, std::optional<base::DateTime>& date) {
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) return Operand::Number;
  if (type == SQLITE_TEXT) {
    const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                                static_cast<std::size_t>(sqlite3_value_bytes(v)));
    if ((date = base::parseCanonical(text))) return Operand::Date;
  }
  return Operand::Text;
}

void resultSum(sqlite3_context* ctx, sqlite3_value* a, sqlite3_value* b, bool subtract) {
  if (sqlite3_value_type(a) == SQLITE_INTEGER && sqlite3_value_type(b) == SQLITE_INTEGER) {
    const sqlite3_int64 x = sqlite3_value_int64(a), y = sqlite3_value_int64(b);
    sqlite3_int64 r;
    if (!(subtract ? __builtin_sub_overflow(x, y, &r) : __builtin_add_overflow(x, y, &r)))
      return sqlite3_result_int64(ctx, r);
  }
  const auto x = accessNumber(a), y = accessNumber(b);
  if (!x || !y) return sqlite3_result_null(ctx);
  const double r = subtract ? *x - *y : *x + *y;
  if (std::floor(r) == r && std::fabs(r) < 9007199254740992.0)
    return sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(r));
  sqlite3_result_double(ctx, r);
}

// A date moved by a number of days, fractions being hours, minutes and seconds.
void resultDateMoved(sqlite3_context* ctx, const base::DateTime& date, sqlite3_value* days,
                     bool back) {
  const auto n = accessNumber(days);
  if (!n || std::fabs(*n) > 4e6) return sqlite3_result_null(ctx);
  const Moment m = momentOf(date);
  const std::int64_t seconds = std::llround((back ? -*n : *n) * 86400.0);
  resultMoment(ctx, m.day, m.second + seconds);
}

}  // namespace

void addFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::optional<base::DateTime> da, db;
  const Operand a = operandOf(argv[0], da), b = operandOf(argv[1], db);
  // Two texts are joined, as & joins them.
  if (a == Operand::Text && b == Operand::Text) {
    std::string joined(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                       static_cast<std::size_t>(sqlite3_value_bytes(argv[0])));
    joined.append(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
                  static_cast<std::size_t>(sqlite3_value_bytes(argv[1])));
    return sqlite3_result_text(ctx, joined.data(), static_cast<int>(joined.size()),
                               SQLITE_TRANSIENT);
  }
  if (a == Operand::Date && b != Operand::Date) return resultDateMoved(ctx, *da, argv[1], false);
  if (b == Operand::Date && a != Operand::Date) return resultDateMoved(ctx, *db, argv[0], false);
  resultSum(ctx, argv[0], argv[1], false);
}

void subtractFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL)
    return sqlite3_result_null(ctx);
  std::optional<base::DateTime> da, db;
  const Operand a = operandOf(argv[0], da), b = operandOf(argv[1], db);
  if (a == Operand::Date && b == Operand::Date) {
    // The days between, fractions being the time of day.
    const Moment x = momentOf(*da), y = momentOf(*db);
    const std::int64_t seconds = (x.day - y.day) * 86400 + (x.second - y.second);
    if (seconds % 86400 == 0) return sqlite3_result_int64(ctx, seconds / 86400);
    return sqlite3_result_double(ctx, static_cast<double>(seconds) / 86400.0);
  }
  if (a == Operand::Date) return resultDateMoved(ctx, *da, argv[1], true);
  resultSum(ctx, argv[0], argv[1], true);
}

}  // namespace kolt::engine::dialect
