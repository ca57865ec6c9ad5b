// The maps that say which pages a table owns.
//
// A table's definition points at two small records: the map of its data pages, which readers
// follow to find its rows, and the map of its pages with free space, which Access consults before
// inserting. The data-page map written here is the indirect kind: one slot per 32,736 pages of the
// file, each naming a bitmap page (or 0 when the table owns no page in that stretch), with slots
// enough for the largest Jet 4 file. The free-space map is an inline one with no page marked:
// Access then puts new rows on new pages.
#pragma once

#include <cstdint>
#include <vector>

#include "access_writer/page_layout.h"

namespace kolt::access_writer {

// Pages a bitmap page covers: every bit after its 4-byte header.
inline constexpr std::uint32_t kPagesPerBitmapPage = (kPageSize - 4) * 8;

// A set of page numbers; one bit per page of the file, so its size follows the file, not a table.
class PageSet {
 public:
  void add(std::uint32_t page);
  bool anyIn(std::uint32_t first, std::uint32_t count) const;
  // The bitmap page for the pages [first, first + kPagesPerBitmapPage).
  Page bitmapPage(std::uint32_t first) const;
  std::uint32_t end() const { return static_cast<std::uint32_t>(bits_.size() * 8); }

 private:
  std::vector<unsigned char> bits_;
};

// The indirect map record naming the bitmap pages, slot i covering the pages from
// i * kPagesPerBitmapPage.
std::vector<unsigned char> indirectMapRecord(const std::vector<std::uint32_t>& bitmapPages);

// An inline map record starting at `firstPage` with no page marked.
std::vector<unsigned char> emptyInlineMapRecord(std::uint32_t firstPage);

}  // namespace kolt::access_writer
