// Date texts of the date boxes ("dd/mm/yyyy") and the dialect's date literals ("#yyyy/mm/dd#").
#pragma once

#include <string>
#include <string_view>

#include "base/date_text.h"

namespace kolt::run {

// How ValidaFecha speaks to the user: the windows beep and show a message box, the batch command
// writes to standard error.
class DateMessages {
 public:
  virtual ~DateMessages() = default;
  virtual void beep() = 0;
  virtual void message(const std::string& text, const std::string& title) = 0;
};

inline constexpr const char* kMensajeFechaInvalida = "Fecha invalida, verifique por favor.....";
inline constexpr const char* kMensajeFechaFutura =
    "Fecha posterior al año en curso, verifique por favor.....";
inline constexpr const char* kTituloValidaFecha = "Valida Fecha";

// The date literal of a "dd/mm/yyyy" text (05/03/2013 → #2013/03/05#); a text that is no date comes
// back unchanged (an empty text stays empty).
std::string FechaSQL(std::string_view fecha);

// True for a real calendar date "dd/mm/yyyy" with a year from 1900 to `currentYear`. A year after
// `currentYear` beeps and shows kMensajeFechaFutura; texts too short, or with a year before 1900,
// a month or a day out of range, are refused silently; a text that cannot be read as numbers or is
// no real date (29/02/2013, a half-typed 1_/06/2013) beeps and shows kMensajeFechaInvalida first.
bool ValidaFecha(std::string_view fecha, DateMessages& messages, int currentYear);
bool ValidaFecha(std::string_view fecha, DateMessages& messages);  // with this year

// Days since 0001-01-01 of a text ValidaFecha accepts, to put two dates in order.
long dayNumber(std::string_view fecha);

// The moment now, to the second, in the system's time zone.
base::DateTime localNow();

// "aaaa-mm-dd hh:mm:ss": a moment as the history of runs and the summaries keep it, sorting in
// time order as text.
std::string timeStamp(const base::DateTime& moment);

}  // namespace kolt::run
