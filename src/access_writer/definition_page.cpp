#include "access_writer/definition_page.h"

#include <cmath>
#include <cstring>

#include "access/jet_header.h"

namespace kolt::access_writer {
namespace {

using namespace access::jet_header;

constexpr std::size_t kPasswordLength = 40;
constexpr std::size_t kSortOrderOffset = 0x6E;
constexpr std::uint16_t kWindows1252 = 1252;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

}  // namespace

Page definitionPage(double creationSerial) {
  Page page{};
  static constexpr char kMagic[] = "\x00\x01\x00\x00Standard Jet DB";
  std::memcpy(page.data(), kMagic, sizeof kMagic);  // the terminating 00 belongs to the magic
  page[access::jet_header::kVersionOffset] = 0x01;  // Jet 4
  put16(&page[access::jet_header::kCodePageOffset], kWindows1252);
  // The database key at 0x3E stays 0: the pages are not encrypted.
  // An empty password is stored as the password mask itself: the whole days of the creation date,
  // repeated.
  const auto days =
      static_cast<std::uint32_t>(static_cast<std::int32_t>(std::floor(creationSerial)));
  for (std::size_t i = 0; i < kPasswordLength; i += 4)
    put32(&page[access::jet_header::kPasswordOffset + i], days);
  put16(&page[kSortOrderOffset], kGeneralSortOrder);
  putDouble(&page[access::jet_header::kCreationDateOffset], creationSerial);
  access::jet_header::toggleMask(page.data());
  return page;
}

}  // namespace kolt::access_writer
