// One worksheet substream: the column names in the first row, then one row per data row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "xls/biff8_records.h"
#include "xls/biff8_shared_strings.h"
#include "xls/workbook.h"

namespace kolt::xls::biff8 {

inline constexpr std::size_t kMaxColumns = kColumnsPerSheet;

// Writes the sheet; its texts go into `strings`. Each row must have one value per column and there
// may be at most kMaxColumns columns and kRowsPerSheet rows; the caller checks both. The sheet has
// no page header and is not the active one: both are settled when the workbook is saved, after
// all its sheets are known (see below).
Bytes writeSheet(const std::vector<SheetColumn>& columns, std::span<const Row> rows,
                 SharedStrings& strings);

// Where in a substream its page header's records are, or go (biff8_page_header.h).
std::size_t pageHeaderOffset();
// Where in a substream of `size` bytes the option flags of its WINDOW2 record are: it ends with
// WINDOW2 and EOF.
std::size_t viewFlagsOffset(std::size_t size);
// The WINDOW2 option flags of the active sheet (selected and shown) or of any other.
std::uint16_t viewFlags(bool active);

struct CheckedSheet {
  std::size_t end = 0;         // the position just after its EOF record
  std::size_t headerSize = 0;  // bytes of its page header's records, 0 when it has none
  bool active = false;
};

// Checks that the substream at `offset` holds nothing but what writeSheet writes, perhaps with a
// page header and as the active sheet, with texts that exist among `stringCount` shared strings.
// Throws MalformedWorkbook otherwise.
CheckedSheet checkSheet(ByteView stream, std::size_t offset, std::size_t stringCount);

}  // namespace kolt::xls::biff8
