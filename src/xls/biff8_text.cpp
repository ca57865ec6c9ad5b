#include "xls/biff8_text.h"

#include "base/utf8.h"

#include <algorithm>

namespace kolt::xls::biff8 {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char16_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

}  // namespace

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (isHighSurrogate(c) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      base::appendUtf8(
          out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      base::appendUtf8(out, kReplacement);
    } else {
      base::appendUtf8(out, c);
    }
  }
  return out;
}

std::u16string_view cutUtf16(std::u16string_view text, std::size_t maxUnits) {
  if (text.size() <= maxUnits) return text;
  std::size_t length = maxUnits;
  if (length > 0 && isHighSurrogate(text[length - 1]) && isLowSurrogate(text[length])) --length;
  return text.substr(0, length);
}

bool fitsOneByte(std::u16string_view text) {
  return std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x100; });
}

}  // namespace kolt::xls::biff8
