#include "access/jet_header.h"

#include <array>
#include <utility>

namespace kolt::access::jet_header {

void toggleMask(unsigned char* page) {
  const std::array<unsigned char, 4> key = {0xC7, 0xDA, 0x39, 0x6B};
  std::array<unsigned char, 256> s{};
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<unsigned char>(i);
  for (std::size_t i = 0, j = 0; i < s.size(); ++i) {
    j = (j + s[i] + key[i % key.size()]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  for (std::size_t n = 0, i = 0, j = 0; n < kMaskedLength; ++n) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    page[kMaskedStart + n] ^= s[(s[i] + s[j]) & 0xFF];
  }
}

}  // namespace kolt::access::jet_header
