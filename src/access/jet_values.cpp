#include "access/jet_values.h"

#include "base/utf8.h"

#include <iconv.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/date_text.h"

namespace kolt::access {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Windows-1252 bytes 0x80..0x9F; the five bytes Windows leaves undefined map to their own C1 code.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// UTF-16 units to UTF-8, one at a time: a pair of surrogates becomes its code point, a surrogate
// without its other half U+FFFD.
struct Utf16Writer {
  std::string& out;
  char16_t high = 0;  // a high surrogate waiting for its low one

  void unit(char16_t u) {
    if (high != 0) {
      const char16_t first = high;
      high = 0;
      if (u >= 0xDC00 && u <= 0xDFFF) {
        base::appendUtf8(out, 0x10000 + ((char32_t{first} - 0xD800) << 10) + (u - 0xDC00));
        return;
      }
      base::appendUtf8(out, kReplacement);
    }
    if (u < 0x80)
      out.push_back(static_cast<char>(u));
    else if (u >= 0xD800 && u <= 0xDBFF)
      high = u;
    else
      base::appendUtf8(out, u);  // a lone low surrogate becomes U+FFFD there
  }
  void end() {
    if (high != 0) base::appendUtf8(out, kReplacement);
    high = 0;
  }
};

std::string decodeCp1252(Bytes bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char b : bytes) {
    if (b < 0x80)
      out.push_back(static_cast<char>(b));
    else if (b < 0xA0)
      base::appendUtf8(out, kCp1252High[b - 0x80]);
    else
      base::appendUtf8(out, b);
  }
  return out;
}

std::optional<std::string> decodeWithIconv(Bytes bytes, int codePage) {
  const std::string from = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out(bytes.size() * 4 + 4, '\0');
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  std::size_t inLeft = bytes.size();
  char* dest = out.data();
  std::size_t destLeft = out.size();
  while (inLeft > 0) {
    if (iconv(cd, &in, &inLeft, &dest, &destLeft) != static_cast<std::size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) break;
    // A byte the code page does not define: keep the rest of the text readable.
    if (destLeft < 3) break;
    std::memcpy(dest, "\xEF\xBF\xBD", 3);
    dest += 3;
    destLeft -= 3;
    ++in;
    --inLeft;
  }
  iconv_close(cd);
  out.resize(out.size() - destLeft);
  return out;
}

}  // namespace

std::string decodeUnicodeText(Bytes bytes) {
  // Every text of a table passes through here: UTF-16 units become UTF-8 as they are read, with no
  // copy of the units in between.
  std::string out;
  out.reserve(bytes.size());
  Utf16Writer writer{out};
  if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
    // Compressed: segments alternate between one byte per character and plain UTF-16LE, each
    // ended by a 00 byte. Access scans for that byte whatever the mode, and so must we. A pair of
    // surrogates may lie across the segments between them, as the units follow each other.
    bool compressed = true;
    for (std::size_t start = 2; start <= bytes.size(); compressed = !compressed) {
      const auto* zero = static_cast<const unsigned char*>(
          std::memchr(bytes.data() + start, 0x00, bytes.size() - start));
      const std::size_t end =
          zero != nullptr ? static_cast<std::size_t>(zero - bytes.data()) : bytes.size();
      if (compressed) {
        for (std::size_t i = start; i < end;) {
          // Plain ASCII, nearly all of a table's text, as it is.
          std::size_t ascii = i;
          while (writer.high == 0 && ascii < end && bytes[ascii] < 0x80) ++ascii;
          if (ascii > i) {
            out.append(reinterpret_cast<const char*>(bytes.data() + i), ascii - i);
            i = ascii;
          } else {
            writer.unit(bytes[i++]);
          }
        }
      } else {
        for (std::size_t i = start; i + 1 < end; i += 2)
          writer.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
      }
      start = end + 1;
    }
  } else {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
      writer.unit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  writer.end();
  return out;
}

std::string decodeSingleByteText(Bytes bytes, int codePage) {
  if (codePage != 1252 && codePage > 0) {
    if (auto text = decodeWithIconv(bytes, codePage)) return *text;
  }
  return decodeCp1252(bytes);
}

std::string currencyText(std::int64_t tenThousandths) {
  const bool negative = tenThousandths < 0;
  // Widened so that the most negative value has a magnitude.
  const unsigned long long magnitude = negative
                                           ? 0ULL - static_cast<unsigned long long>(tenThousandths)
                                           : static_cast<unsigned long long>(tenThousandths);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "", magnitude / 10000,
                magnitude % 10000);
  return buffer;
}

std::optional<std::string> decimalText(Bytes bytes, int scale) {
  if (bytes.size() < 17 || scale < 0 || scale > 28) return std::nullopt;
  unsigned __int128 magnitude = 0;
  for (int word = 0; word < 4; ++word) {
    const unsigned char* w = bytes.data() + 1 + word * 4;
    const std::uint32_t value =
        static_cast<std::uint32_t>(w[0]) | (static_cast<std::uint32_t>(w[1]) << 8) |
        (static_cast<std::uint32_t>(w[2]) << 16) | (static_cast<std::uint32_t>(w[3]) << 24);
    magnitude = (magnitude << 32) | value;
  }
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
  } while (magnitude != 0);
  if (digits.size() <= static_cast<std::size_t>(scale))
    digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
  if (scale > 0) digits.insert(digits.size() - static_cast<std::size_t>(scale), ".");
  const bool negative =
      (bytes[0] & 0x80) != 0 && digits.find_first_not_of("0.") != std::string::npos;
  return (negative ? "-" : "") + digits;
}

std::string guidText(Bytes bytes) {
  if (bytes.size() < 16) return {};
  const unsigned char* b = bytes.data();
  char buffer[40];
  std::snprintf(buffer, sizeof buffer,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return buffer;
}

std::optional<std::string> extendedDateText(Bytes bytes) {
  // "DDDDDDDDDDDDDDDDDDD:TTTTTTTTTTTTTTTTTTT:..."
  if (bytes.size() < 39 || bytes[19] != ':') return std::nullopt;
  auto number = [&](std::size_t from) -> std::optional<std::int64_t> {
    std::int64_t value = 0;
    for (std::size_t i = from; i < from + 19; ++i) {
      if (bytes[i] < '0' || bytes[i] > '9') return std::nullopt;
      if (value > (INT64_MAX - 9) / 10) return std::nullopt;
      value = value * 10 + (bytes[i] - '0');
    }
    return value;
  };
  const auto days = number(0);
  const auto ticks = number(20);
  constexpr std::int64_t kTicksPerDay = 864'000'000'000;
  // 0001-01-01 is day 0; 9999-12-31 is day 3,652,058.
  if (!days || !ticks || *days > 3'652'058 || *ticks >= kTicksPerDay) return std::nullopt;
  // Day 0 of the extended type, 0001-01-01, is 693,593 days before the ordinary epoch 1899-12-30.
  auto date = base::fromSerial(static_cast<double>(*days - 693'593));
  if (!date) return std::nullopt;
  const std::int64_t seconds = *ticks / 10'000'000;
  date->hour = static_cast<int>(seconds / 3600);
  date->minute = static_cast<int>(seconds / 60 % 60);
  date->second = static_cast<int>(seconds % 60);
  date->fraction100ns = static_cast<int>(*ticks % 10'000'000);
  return base::formatCanonical(*date);
}

std::optional<std::string> dateText(double serial) {
  auto date = base::fromSerial(serial);
  if (!date) return std::nullopt;
  return base::formatCanonical(*date);
}

std::optional<ExactNumber> exactNumber(const std::string& text) {
  const auto point = text.find('.');
  const std::size_t decimals = point == std::string::npos ? 0 : text.size() - point - 1;
  const bool whole =
      point == std::string::npos || text.find_first_not_of('0', point + 1) == std::string::npos;
  if (whole) {
    const std::string integral = text.substr(0, point);
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(integral.c_str(), &end, 10);
    if (errno == 0 && end != nullptr && *end == '\0')
      return ExactNumber{.isInteger = true, .integer = value, .real = 0};
  }
  const double real = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(real)) return std::nullopt;
  // Printed with as many decimals as the text has, the double must give the text back, digit for
  // digit; otherwise storing it would quietly change the value.
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(decimals), real);
  if (text != buffer) return std::nullopt;
  return ExactNumber{.isInteger = false, .integer = 0, .real = real};
}

}  // namespace kolt::access
