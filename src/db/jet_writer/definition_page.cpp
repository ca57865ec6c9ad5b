#include "db/jet_writer/definition_page.h"

#include <cmath>
#include <utility>

namespace kolt::db::jet {
namespace {

constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kMaskedStart = 0x18;
constexpr std::size_t kMaskedLength = 128;
constexpr std::size_t kCodePageOffset = 0x3C;
constexpr std::size_t kPasswordOffset = 0x42;
constexpr std::size_t kPasswordLength = 40;
constexpr std::size_t kSortOrderOffset = 0x6E;
constexpr std::size_t kCreationDateOffset = 0x72;
constexpr std::uint16_t kWindows1252 = 1252;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

// Readers unmask 128 bytes from 0x18 on with an RC4 stream of a fixed key; masking is the same
// XOR.
void maskHeader(Page& page) {
  const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
  unsigned char s[256];
  for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
  for (unsigned i = 0, j = 0; i < 256; ++i) {
    j = (j + s[i] + key[i % 4]) & 0xFF;
    std::swap(s[i], s[j]);
  }
  for (unsigned n = 0, i = 0, j = 0; n < kMaskedLength; ++n) {
    i = (i + 1) & 0xFF;
    j = (j + s[i]) & 0xFF;
    std::swap(s[i], s[j]);
    page[kMaskedStart + n] ^= s[(s[i] + s[j]) & 0xFF];
  }
}

}  // namespace

Page definitionPage(double creationSerial) {
  Page page{};
  static constexpr char kMagic[] = "\x00\x01\x00\x00Standard Jet DB";
  std::memcpy(page.data(), kMagic, sizeof kMagic);  // the terminating 00 belongs to the magic
  page[kVersionOffset] = 0x01;                      // Jet 4
  put16(&page[kCodePageOffset], kWindows1252);
  // The database key at 0x3E stays 0: the pages are not encrypted.
  // An empty password is stored as the password mask itself: the whole days of the creation date,
  // repeated.
  const auto days =
      static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(creationSerial)));
  for (std::size_t i = 0; i < kPasswordLength; i += 4) put32(&page[kPasswordOffset + i], days);
  put16(&page[kSortOrderOffset], kGeneralSortOrder);
  putDouble(&page[kCreationDateOffset], creationSerial);
  maskHeader(page);
  return page;
}

}  // namespace kolt::db::jet
