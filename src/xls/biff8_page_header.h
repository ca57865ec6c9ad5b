// The page header a sheet prints at the top of each page (its HEADER record).
//
// Excel keeps the three parts of a header, left, centre and right, in one string of at most
// kMaxPageHeader characters, where "&L", "&C" and "&R" begin each part and any other "&" begins a
// code (page number, date, font...): a plain "&" of a part's text is written "&&".
#pragma once

#include <cstddef>
#include <string>

#include "xls/biff8_records.h"
#include "xls/workbook.h"

namespace kolt::xls::biff8 {

inline constexpr std::size_t kMaxPageHeader = 255;

// The header string of `header`, its "&" escaped. When it would be longer than kMaxPageHeader
// characters, the longest parts are cut to the same length, each ending in "…", so that it fits:
// a description too long for a header still prints, shortened, rather than failing the workbook.
// Empty when all three parts are.
std::u16string pageHeaderString(const PageHeader& header);

// The records that give a sheet the header `text` (as pageHeaderString gives it), to be written
// right after its BOF; nothing for an empty text, which leaves the sheet without a header.
Bytes pageHeaderRecords(std::u16string_view text);

// Reads past the records pageHeaderRecords writes when they come next at `cursor`, checking them,
// and returns their size in bytes; 0, the cursor unmoved, when something else comes next. Throws
// MalformedWorkbook for records that begin so but are not what pageHeaderRecords writes.
std::size_t skipPageHeader(RecordCursor& cursor);

}  // namespace kolt::xls::biff8
