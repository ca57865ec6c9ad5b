// One worksheet substream: the column names in the first row, then one row per data row.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

#include "xls/biff8_records.h"
#include "xls/biff8_shared_strings.h"
#include "xls/workbook.h"

namespace kolt::xls::biff8 {

inline constexpr std::size_t kMaxColumns = kColumnsPerSheet;

// Writes the sheet; its texts go into `strings`. `selected` marks the sheet whose tab is
// selected when the workbook opens (the first one). Each row must have one value per column and
// there may be at most kMaxColumns columns and kRowsPerSheet rows; the caller checks both.
Bytes writeSheet(const std::vector<SheetColumn>& columns, std::span<const Row> rows,
                 SharedStrings& strings, bool selected);

// Checks that the substream at `offset` holds nothing but what writeSheet writes, with texts that
// exist among `stringCount` shared strings; returns the position just after its EOF record.
// Throws MalformedWorkbook otherwise.
std::size_t checkSheet(ByteView stream, std::size_t offset, std::size_t stringCount);

}  // namespace kolt::xls::biff8
