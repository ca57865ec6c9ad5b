#include "access_writer/column_choice.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "access_writer/text_encoding.h"
#include "base/date_text.h"
#include "base/error.h"

namespace kolt::access_writer {
namespace {

constexpr std::size_t kMaxTextCharacters = 255;

std::string upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

bool has(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::size_t utf16Length(const std::string& text) {
  std::size_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) ++units;  // each lead byte
    if (c >= 0xF0) ++units;           // four-byte sequences need a surrogate pair
  }
  return units;
}

}  // namespace

ColumnType declaredColumnType(const std::string& declaredType) {
  const std::string t = upper(declaredType);
  if (base::isBooleanType(declaredType) || has(t, "BIT") || has(t, "YESNO"))
    return ColumnType::Boolean;
  if (has(t, "LONGTEXT") || has(t, "MEMO") || has(t, "CLOB") || has(t, "NOTE"))
    return ColumnType::Memo;
  if (has(t, "CHAR") || has(t, "TEXT") || has(t, "STRING")) return ColumnType::Text;
  if (base::isDateType(declaredType) || has(t, "DATE") || has(t, "TIME"))
    return ColumnType::DateTime;
  if (has(t, "CURRENCY") || has(t, "MONEY")) return ColumnType::Currency;
  if (has(t, "TINYINT") || has(t, "BYTE")) return ColumnType::Byte;
  if (has(t, "SMALLINT") || has(t, "SHORT")) return ColumnType::Integer;
  if (has(t, "INT") || has(t, "LONG")) return ColumnType::Long;
  if (has(t, "REAL") || has(t, "FLOA") || has(t, "DOUB") || has(t, "NUM") || has(t, "DEC"))
    return ColumnType::Double;
  return ColumnType::Text;
}

void ColumnSurvey::see(const base::Value& value) {
  if (base::isNull(value)) {
    nulls_ = true;
  } else if (const auto* i = std::get_if<std::int64_t>(&value)) {
    min_ = integers_ ? std::min(min_, *i) : *i;
    max_ = integers_ ? std::max(max_, *i) : *i;
    integers_ = true;
    datesCanonical_ = false;
  } else if (const auto* d = std::get_if<double>(&value)) {
    reals_ = true;
    datesCanonical_ = false;
    const double scaled = *d * 10000.0;
    currencyExact_ = currencyExact_ && std::isfinite(scaled) && std::fabs(scaled) < 0x1p53 &&
                     std::nearbyint(scaled) == scaled;
  } else if (const auto* s = std::get_if<std::string>(&value)) {
    texts_ = true;
    longestText_ = std::max(longestText_, utf16Length(*s));
    if (datesCanonical_) {
      const auto date = base::parseCanonical(*s);
      datesCanonical_ = date && date->fraction100ns == 0;
    }
  } else {
    blobs_ = true;
  }
}

JetColumn ColumnSurvey::choose(const std::string& name, const std::string& declaredType) const {
  if (blobs_)
    throw base::Error(base::kErrSyntax,
                      "La columna «" + name +
                          "» guarda datos binarios, que la exportación a Access no "
                          "escribe.");
  const ColumnType declared = declaredColumnType(declaredType);
  auto text = [&]() {
    return longestText_ > kMaxTextCharacters ? JetColumn{name, ColumnType::Memo}
                                             : JetColumn{name, ColumnType::Text};
  };
  if (declared == ColumnType::Memo) return {name, ColumnType::Memo};
  if (texts_) {
    if (declared == ColumnType::DateTime && datesCanonical_ && !integers_ && !reals_)
      return {name, ColumnType::DateTime};
    return text();
  }
  if (!integers_ && !reals_) {
    // Only NULLs (or nothing): the declared type, except that a Yes/No column cannot hold NULL.
    if (declared == ColumnType::Boolean && nulls_) return {name, ColumnType::Integer};
    return {name, declared};
  }
  auto within = [&](std::int64_t low, std::int64_t high) { return min_ >= low && max_ <= high; };
  if (!reals_) {
    if (declared == ColumnType::Boolean && !nulls_ && within(-1, 0)) return {name, declared};
    if (declared == ColumnType::Byte && within(0, 255)) return {name, declared};
    if (declared == ColumnType::Integer && within(-32768, 32767)) return {name, declared};
    if (declared == ColumnType::Currency && within(-922337203685477, 922337203685477))
      return {name, declared};
    if (declared == ColumnType::Double && within(-(1LL << 53), 1LL << 53)) return {name, declared};
    if (within(INT32_MIN, INT32_MAX)) return {name, ColumnType::Long};
    if (within(-(1LL << 53), 1LL << 53)) return {name, ColumnType::Double};
    return text();
  }
  if (declared == ColumnType::Currency && currencyExact_ &&
      (!integers_ || within(-922337203685477, 922337203685477)))
    return {name, declared};
  if (!integers_ || within(-(1LL << 53), 1LL << 53)) return {name, ColumnType::Double};
  return text();
}

}  // namespace kolt::access_writer
