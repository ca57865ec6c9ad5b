#include "access_writer/text_encoding.h"

namespace kolt::access_writer {

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
