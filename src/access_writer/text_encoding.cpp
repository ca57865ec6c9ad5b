#include "access_writer/text_encoding.h"

namespace kolt::access_writer {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

void appendCodePoint(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    const std::size_t extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : 1;
    char32_t c = extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
    bool valid = lead >= 0xC2 && lead < 0xF5 && i + extra < text.size();
    for (std::size_t k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3F);
    }
    const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
    if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    appendCodePoint(out, c);
    i += extra + 1;
  }
  return out;
}

std::vector<unsigned char> encodeText(std::u16string_view text, bool compressible) {
  bool compress = compressible && !text.empty();
  for (std::size_t i = 0; compress && i < text.size(); ++i) compress = (text[i] & 0xFF) != 0;
  std::vector<unsigned char> out;
  if (compress) {
    out.reserve(text.size() + 2);
    out.push_back(0xFF);
    out.push_back(0xFE);
    bool oneByte = true;
    for (char16_t c : text) {
      const bool narrow = c < 0x100;
      if (narrow != oneByte) {
        out.push_back(0x00);
        oneByte = narrow;
      }
      out.push_back(static_cast<unsigned char>(c));
      if (!narrow) out.push_back(static_cast<unsigned char>(c >> 8));
    }
    if (out.size() < text.size() * 2) return out;
    out.clear();
  }
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<unsigned char>(c));
    out.push_back(static_cast<unsigned char>(c >> 8));
  }
  return out;
}

}  // namespace kolt::access_writer
