// Format(value[, pattern]): a value written as text by a pattern, for the date and number
// patterns an office writes. A pattern is read once into its pieces; one this file cannot read
// exactly as Access does is refused by name, before the statement runs when it is written out.
//
// Date patterns: d dd m mm yy yyyy h hh n nn s ss, and / - : . and blanks between them; m or mm
// right after an hour (hh:mm) is minutes, as in Access; "Short Date" is dd/mm/yyyy on a Windows set
// to Spanish (Mexico). Number patterns: 0 (a digit always written), # (a digit written when it
// counts), one . before the decimals, , in the whole part for thousands, and % at the end.
#include <sqlite3.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/date_text.h"
#include "engine/dialect/function_table.h"
#include "engine/dialect/functions.h"

namespace kolt::engine::dialect {
namespace {

enum class DatePiece {
  Day,
  Day2,
  Month,
  Month2,
  Year2,
  Year4,
  Hour,
  Hour2,
  Minute,
  Minute2,
  Second,
  Second2
};
using DateStep = std::variant<DatePiece, char>;  // a piece of the date, or a separator

struct NumberPattern {
  int wholeDigits = 0;    // 0s before the point: the fewest digits of the whole part
  int fixedDecimals = 0;  // 0s after the point
  int decimals = 0;       // 0s and #s after the point
  bool thousands = false;
  bool percent = false;
};

using Pattern = std::variant<std::vector<DateStep>, NumberPattern>;

bool isDateSeparator(char c) {
  return c == '/' || c == '-' || c == ':' || c == '.' || c == ' ';
}

std::string lowered(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::optional<std::vector<DateStep>> readDatePattern(std::string_view text) {
  std::vector<DateStep> steps;
  bool afterHour = false;
  for (std::size_t i = 0; i < text.size();) {
    const char c = static_cast<char>(text[i] >= 'A' && text[i] <= 'Z' ? text[i] + 32 : text[i]);
    if (isDateSeparator(c)) {
      steps.emplace_back(c);
      ++i;
      continue;
    }
    std::size_t run = 1;
    while (i + run < text.size() && (text[i + run] | 0x20) == c) ++run;
    i += run;
    DatePiece piece;
    if (c == 'd' && run <= 2) {
      piece = run == 1 ? DatePiece::Day : DatePiece::Day2;
    } else if (c == 'm' && run <= 2) {
      piece = afterHour ? (run == 1 ? DatePiece::Minute : DatePiece::Minute2)
                        : (run == 1 ? DatePiece::Month : DatePiece::Month2);
    } else if (c == 'y' && (run == 2 || run == 4)) {
      piece = run == 2 ? DatePiece::Year2 : DatePiece::Year4;
    } else if (c == 'h' && run <= 2) {
      piece = run == 1 ? DatePiece::Hour : DatePiece::Hour2;
    } else if (c == 'n' && run <= 2) {
      piece = run == 1 ? DatePiece::Minute : DatePiece::Minute2;
    } else if (c == 's' && run <= 2) {
      piece = run == 1 ? DatePiece::Second : DatePiece::Second2;
    } else {
      return std::nullopt;
    }
    afterHour = piece == DatePiece::Hour || piece == DatePiece::Hour2;
    steps.emplace_back(piece);
  }
  return steps;
}

std::optional<NumberPattern> readNumberPattern(std::string_view text) {
  NumberPattern p;
  bool point = false, sawDigit = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 1 == text.size() && sawDigit) {
      p.percent = true;
    } else if (c == '0' || c == '#') {
      sawDigit = true;
      if (point) {
        if (c == '0' && p.decimals > p.fixedDecimals) return std::nullopt;  // 0 after a #
        ++p.decimals;
        p.fixedDecimals += c == '0';
      } else if (c == '0') {
        ++p.wholeDigits;
      } else if (p.wholeDigits > 0) {
        return std::nullopt;  // # after a 0
      }
    } else if (c == '.' && !point) {
      point = true;
    } else if (c == ',' && !point && sawDigit && i + 1 < text.size() &&
               (text[i + 1] == '0' || text[i + 1] == '#')) {
      p.thousands = true;
    } else {
      return std::nullopt;
    }
  }
  if (!sawDigit) return std::nullopt;
  return p;
}

std::optional<Pattern> readPattern(std::string_view text) {
  if (lowered(text) == "short date") text = "dd/mm/yyyy";
  if (auto number = readNumberPattern(text)) return Pattern(*number);
  if (auto date = readDatePattern(text)) {
    for (const DateStep& step : *date)
      if (std::holds_alternative<DatePiece>(step)) return Pattern(*date);
  }
  return std::nullopt;
}

std::string refusal(std::string_view pattern) {
  return "Formato no admitido en la función 'Format': '" + std::string(pattern) +
         "'. Use un formato de fecha con d, m, yyyy, h, n y s (por ejemplo 'dd/mm/yyyy') o de "
         "número con 0 y # (por ejemplo '00000' o '#,##0.00').";
}

std::string twoDigits(int n) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", n);
  return buffer;
}

std::string formatDate(const std::vector<DateStep>& steps, const base::DateTime& d) {
  std::string out;
  for (const DateStep& step : steps) {
    if (const char* separator = std::get_if<char>(&step)) {
      out += *separator;
      continue;
    }
    switch (std::get<DatePiece>(step)) {
      case DatePiece::Day:
        out += std::to_string(d.day);
        break;
      case DatePiece::Day2:
        out += twoDigits(d.day);
        break;
      case DatePiece::Month:
        out += std::to_string(d.month);
        break;
      case DatePiece::Month2:
        out += twoDigits(d.month);
        break;
      case DatePiece::Year2:
        out += twoDigits(d.year % 100);
        break;
      case DatePiece::Year4: {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%04d", d.year);
        out += buffer;
        break;
      }
      case DatePiece::Hour:
        out += std::to_string(d.hour);
        break;
      case DatePiece::Hour2:
        out += twoDigits(d.hour);
        break;
      case DatePiece::Minute:
        out += std::to_string(d.minute);
        break;
      case DatePiece::Minute2:
        out += twoDigits(d.minute);
        break;
      case DatePiece::Second:
        out += std::to_string(d.second);
        break;
      case DatePiece::Second2:
        out += twoDigits(d.second);
        break;
    }
  }
  return out;
}

// Format rounds half away from zero (Format(2.5, "0") is "3"), unlike Round and CInt.
std::optional<std::string> formatNumber(const NumberPattern& p, double value) {
  if (p.percent) value *= 100;
  const double scale = std::pow(10.0, p.decimals);
  const double scaled = std::fabs(value) * scale;
  const double rounded = std::floor(scaled + 0.5 + 1e-9 * std::max(1.0, scaled));
  if (!std::isfinite(rounded) || rounded >= 9007199254740992.0) return std::nullopt;
  const auto units = static_cast<std::int64_t>(rounded);
  const auto power = static_cast<std::int64_t>(scale);
  std::string whole = std::to_string(units / power);
  std::string fraction = std::to_string(units % power);
  fraction = std::string(static_cast<std::size_t>(p.decimals) -
                             std::min(fraction.size(), static_cast<std::size_t>(p.decimals)),
                         '0') +
             (p.decimals == 0 ? "" : fraction);
  while (static_cast<int>(fraction.size()) > p.fixedDecimals && fraction.back() == '0')
    fraction.pop_back();
  if (whole == "0") whole.clear();
  if (static_cast<int>(whole.size()) < p.wholeDigits)
    whole.insert(0, static_cast<std::size_t>(p.wholeDigits) - whole.size(), '0');
  if (p.thousands)
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3)
      whole.insert(static_cast<std::size_t>(at), ",");
  std::string out = (value < 0 && units != 0 ? "-" : "") + whole;
  if (!fraction.empty()) out += "." + fraction;
  return out + (p.percent ? "%" : "");
}

void resultText(sqlite3_context* ctx, const std::string& text) {
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// A value the pattern cannot take is written as CStr writes it: a text that is no date under a
// date pattern, a text that is no number under a number pattern.
void formatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  static const SqlFunction cstrFunction = findAccessFunction("CStr")->implementation;
  sqlite3_value* cstr[] = {argv[0]};
  if (argc == 1 || sqlite3_value_type(argv[1]) == SQLITE_NULL || sqlite3_value_bytes(argv[1]) == 0)
    return cstrFunction(ctx, 1, cstr);
  const std::string_view text(reinterpret_cast<const char*>(sqlite3_value_text(argv[1])),
                              static_cast<std::size_t>(sqlite3_value_bytes(argv[1])));
  const auto pattern = readPattern(text);
  if (!pattern) return sqlite3_result_error(ctx, refusal(text).c_str(), -1);
  if (const auto* steps = std::get_if<std::vector<DateStep>>(&*pattern)) {
    if (const auto date = accessDate(argv[0])) return resultText(ctx, formatDate(*steps, *date));
  } else if (const auto number = accessNumber(argv[0])) {
    if (auto out = formatNumber(std::get<NumberPattern>(*pattern), *number))
      return resultText(ctx, *out);
  }
  cstrFunction(ctx, 1, cstr);
}

std::string formatCheck(LiteralArguments arguments) {
  if (arguments.size() < 2 || !arguments[1] || arguments[1]->empty() || readPattern(*arguments[1]))
    return {};
  return refusal(*arguments[1]);
}

using enum FunctionFamily;

// clang-format off
constexpr AccessFunction kRows[] = {
  {"Format", "kolt_format", 1, 2, formatFunction, Text, ResultKind::Text,
   "Format(valor[, formato])", "Where Format(egreso, 'yyyy') <> '2024'",
   "formatos de fecha con `d`, `dd`, `m`, `mm`, `yy`, `yyyy`, `h`, `hh`, `n`, `nn`, `s`, `ss` "
   "(`'dd/mm/yyyy'`; `m` tras la hora son minutos) o `'Short Date'`; de número con `0`, `#`, `.`, "
   "`,` y `%` (`'00000'`, `'#,##0.00'`), redondeando la mitad hacia arriba; otro formato rechaza "
   "la regla; un valor que el formato no lee queda como con `CStr`; nulo: nulo", formatCheck},
  {"Format$", "kolt_format", 1, 2, formatFunction, Text, ResultKind::Text,
   "Format$(valor[, formato])", "Format$(folio, '00000')", "como `Format`", formatCheck},
};
// clang-format on

}  // namespace

std::span<const AccessFunction> formatFunctions() {
  return kRows;
}

}  // namespace kolt::engine::dialect
