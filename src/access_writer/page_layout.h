// The page geometry of a Jet 4 (Access 2000-2003) file, and the little-endian stores every page
// is written with.
//
// A Jet 4 file is a run of 4 KiB pages. Page 0 describes the database, page 2 holds the definition
// of the catalogue table MSysObjects, and every other page belongs to some table: its definition,
// its rows, the long values (memos) its rows point to, or the bitmaps saying which pages it owns.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kolt::access_writer {

inline constexpr std::size_t kPageSize = 4096;
// A Jet 4 file may not grow past 2 GiB.
inline constexpr std::uint32_t kMaxPages = 0x80000;

inline constexpr unsigned char kDataPageType = 0x01;
inline constexpr unsigned char kTableDefinitionPageType = 0x02;
inline constexpr unsigned char kUsageBitmapPageType = 0x05;

// The page the catalogue's definition always lives on; readers look for it there.
inline constexpr std::uint32_t kCatalogueDefinitionPage = 2;

using Page = std::array<unsigned char, kPageSize>;

inline void put16(unsigned char* at, std::uint16_t v) {
  at[0] = static_cast<unsigned char>(v);
  at[1] = static_cast<unsigned char>(v >> 8);
}
inline void put32(unsigned char* at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void put64(unsigned char* at, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void putDouble(unsigned char* at, double v) {
  std::uint64_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  put64(at, bits);
}

// A row's address: its page in the upper three bytes, its slot on the page in the lowest.
inline std::uint32_t pageRow(std::uint32_t page, unsigned slot) {
  return (page << 8) | (slot & 0xFF);
}

}  // namespace kolt::access_writer
