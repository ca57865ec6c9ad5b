// The comparison of a value with a literal of another kind, when only the rows tell what the value
// is (a column, Nz, IIf, a sum): kolt_compare(value, literal) gives -1, 0 or 1 as the value is
// less than, equal to or greater than the literal, compared as the Access engine compares them,
// and NULL when either is NULL or the two cannot be compared.
//
// - A number against a text that is a number compares as numbers; against a date, with the date's
//   serial number.
// - A date (the engine's canonical date text) against a text that is a date compares as dates, the
//   text read as CDate reads it; against a number, by its serial number.
// - A text against a number compares as numbers when the text is one; two texts compare as every
//   text comparison does.
// Where Access would stop the statement with its type mismatch, the row gets NULL, as for every
// value a function cannot give (functions.h): the comparison leaves it out.
#include <sqlite3.h>

#include "base/date_text.h"
#include "engine/dialect/functions.h"

namespace kolt::engine::dialect {
namespace {

std::string_view textOf(sqlite3_value* v) {
  return {reinterpret_cast<const char*>(sqlite3_value_text(v)),
          static_cast<std::size_t>(sqlite3_value_bytes(v))};
}

int sign(double a, double b) {
  return a < b ? -1 : a > b ? 1 : 0;
}

bool isNumber(sqlite3_value* v) {
  const int type = sqlite3_value_type(v);
  return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

std::optional<int> compare(sqlite3_value* value, sqlite3_value* literal) {
  const int type = sqlite3_value_type(value);
  if (type == SQLITE_NULL || sqlite3_value_type(literal) == SQLITE_NULL) return std::nullopt;
  if (isNumber(value)) {
    const auto other = accessNumber(literal);
    if (!other) return std::nullopt;
    return sign(sqlite3_value_double(value), *other);
  }
  if (type != SQLITE_TEXT) return std::nullopt;
  const std::string text(textOf(value));
  if (const auto date = base::parseCanonical(text)) {
    if (isNumber(literal)) return sign(base::toSerial(*date), sqlite3_value_double(literal));
    const auto other = accessCDate(textOf(literal));
    if (!other) return std::nullopt;
    return compareIgnoringCase(base::formatCanonical(*date), *other);
  }
  if (isNumber(literal)) {
    const auto number = accessNumber(value);
    if (!number) return std::nullopt;
    return sign(*number, sqlite3_value_double(literal));
  }
  return compareIgnoringCase(text, textOf(literal));
}

}  // namespace

void compareFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const auto result = compare(argv[0], argv[1]);
  result ? sqlite3_result_int(ctx, *result) : sqlite3_result_null(ctx);
}

}  // namespace kolt::engine::dialect
