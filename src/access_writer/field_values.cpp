#include "access_writer/field_values.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

#include "access_writer/page_layout.h"
#include "access_writer/text_encoding.h"
#include "base/date_text.h"
#include "base/error.h"
#include "base/utf8.h"

namespace kolt::access_writer {
namespace {

[[noreturn]] void unfit(const ColumnSlot& slot, const std::string& what) {
  throw base::Error(base::kErrSyntax,
                    "La columna «" + slot.column.name + "» no admite " + what + ".");
}

std::string describe(const base::Value& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return "el número " + std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) return "el número " + std::to_string(*d);
  if (const auto* s = std::get_if<std::string>(&value)) return "el texto «" + *s + "»";
  return "datos binarios";
}

std::optional<double> numberOf(const base::Value& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&value)) return *d;
  return std::nullopt;
}

std::optional<std::int64_t> wholeNumberOf(const base::Value& value) {
  if (const auto* i = std::get_if<std::int64_t>(&value)) return *i;
  if (const auto* d = std::get_if<double>(&value)) {
    if (std::isfinite(*d) && std::trunc(*d) == *d && std::fabs(*d) < 0x1p62)
      return static_cast<std::int64_t>(*d);
  }
  return std::nullopt;
}

std::string textOf(const ColumnSlot& slot, const base::Value& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* i = std::get_if<std::int64_t>(&value)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&value)) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *d);
    return std::string(buffer, result.ptr);
  }
  unfit(slot, describe(value));
}

void putWhole(const ColumnSlot& slot, const base::Value& value, Field& field, std::int64_t low,
              std::int64_t high) {
  const auto n = wholeNumberOf(value);
  if (!n || *n < low || *n > high) unfit(slot, describe(value));
  field.bytes.resize(slot.fixedSize);
  for (std::size_t i = 0; i < slot.fixedSize; ++i)
    field.bytes[i] = static_cast<unsigned char>(static_cast<std::uint64_t>(*n) >> (8 * i));
}

}  // namespace

void encodeField(const ColumnSlot& slot, const base::Value& value, Field& field) {
  field.bytes.clear();
  field.null = base::isNull(value);
  field.yes = false;
  const ColumnType type = slot.column.type;
  if (type == ColumnType::Boolean) {
    if (!field.null) {
      const auto n = wholeNumberOf(value);
      if (!n) unfit(slot, describe(value));
      field.yes = *n != 0;
    }
    field.null = false;
    return;
  }
  if (field.null) return;
  switch (type) {
    case ColumnType::Byte:
      putWhole(slot, value, field, 0, 255);
      return;
    case ColumnType::Integer:
      putWhole(slot, value, field, std::numeric_limits<std::int16_t>::min(),
               std::numeric_limits<std::int16_t>::max());
      return;
    case ColumnType::Long:
      putWhole(slot, value, field, std::numeric_limits<std::int32_t>::min(),
               std::numeric_limits<std::int32_t>::max());
      return;
    case ColumnType::Currency: {
      // Ten-thousandths in 64 bits; a value with more decimals than four is refused, not rounded.
      const auto n = numberOf(value);
      std::int64_t units = 0;
      if (const auto* i = std::get_if<std::int64_t>(&value)) {
        if (*i > INT64_MAX / 10000 || *i < INT64_MIN / 10000) unfit(slot, describe(value));
        units = *i * 10000;
      } else {
        const double scaled = n ? *n * 10000.0 : NAN;
        if (!std::isfinite(scaled) || std::fabs(scaled) >= 0x1p63 ||
            std::fabs(std::nearbyint(scaled) - scaled) > 1e-6 * std::max(1.0, std::fabs(scaled)))
          unfit(slot, describe(value));
        units = static_cast<std::int64_t>(std::nearbyint(scaled));
      }
      field.bytes.resize(8);
      put64(field.bytes.data(), static_cast<std::uint64_t>(units));
      return;
    }
    case ColumnType::Double: {
      const auto n = numberOf(value);
      if (!n) unfit(slot, describe(value));
      field.bytes.resize(8);
      putDouble(field.bytes.data(), *n);
      return;
    }
    case ColumnType::DateTime: {
      double serial = 0;
      if (const auto* s = std::get_if<std::string>(&value)) {
        const auto date = base::parseCanonical(*s);
        if (!date || date->fraction100ns != 0) unfit(slot, describe(value));
        serial = base::toSerial(*date);
      } else if (const auto n = numberOf(value)) {
        serial = *n;  // a serial day number, as the importer keeps dates outside the years 1-9999
      } else {
        unfit(slot, describe(value));
      }
      field.bytes.resize(8);
      putDouble(field.bytes.data(), serial);
      return;
    }
    case ColumnType::Text:
    case ColumnType::Memo: {
      const std::u16string text = base::utf16FromUtf8(textOf(slot, value));
      if (type == ColumnType::Text &&
          text.size() > static_cast<std::size_t>(slot.column.maxCharacters))
        unfit(slot,
              "textos de más de " + std::to_string(slot.column.maxCharacters) + " caracteres");
      field.bytes = encodeText(text, type == ColumnType::Text || text.size() <= kMaxCompressedMemo);
      return;
    }
    case ColumnType::Ole:
      unfit(slot, "valores binarios");
    case ColumnType::Boolean:
      return;
  }
}

}  // namespace kolt::access_writer
