// A data page being filled: rows are placed from the end of the page towards its header, and
// their offsets are listed after the header.
#pragma once

#include <cstdint>
#include <span>

#include "access_writer/page_layout.h"

namespace kolt::access_writer {

class DataPage {
 public:
  // A page of rows of the table defined on `owner`, or of long values when `owner` is
  // kLongValueOwner.
  explicit DataPage(std::uint32_t owner);

  // The room a row needs, its offset included, is there, and the row's slot number fits a row
  // address.
  bool fits(std::size_t rowSize) const;
  // Returns the row's slot.
  unsigned add(std::span<const unsigned char> row);
  unsigned rowCount() const { return rows_; }
  const Page& bytes() const { return page_; }
  void clear();

  // The largest row a data page can take.
  static constexpr std::size_t kMaxRowSize = kPageSize - 14 - 2;
  // Long-value pages carry "LVAL" where a data page names its table.
  static constexpr std::uint32_t kLongValueOwner = 0x4C41564C;

 private:
  Page page_{};
  std::uint32_t owner_;
  unsigned rows_ = 0;
  std::size_t end_ = kPageSize;  // where the last row placed begins
};

}  // namespace kolt::access_writer
