// The workbook-wide records that come before the sheet list: fonts, number formats and the cell
// formats (XF records) that every cell refers to by index.
//
// These records are the same in every workbook this program writes, but for the sheet it opens
// on. That is how a workbook is
// recognised as one of its own when a sheet is appended, and why the cells of the sheets copied
// from the old file keep their meaning: their XF indices point into the same table.
#pragma once

#include <cstdint>
#include <optional>

#include "xls/biff8_records.h"

namespace kolt::xls::biff8 {

// Cell formats (indices of XF records). 0 to 14 are the style formats every workbook carries.
enum CellFormat : std::uint16_t {
  kXfGeneral = 15,
  kXfDate = 16,      // "dd/mm/yyyy"
  kXfDateTime = 17,  // "dd/mm/yyyy hh:mm:ss"
  kXfHeader = 18,    // bold: the column names
};
inline constexpr std::uint16_t kFirstCellXf = kXfGeneral;
inline constexpr std::uint16_t kXfCount = 19;

// BOF data of the workbook globals and of a worksheet.
void writeWorkbookBof(StreamWriter& out);
void writeWorksheetBof(StreamWriter& out);

// BOF of the globals through the STYLE record. `activeSheet` is the sheet the workbook opens on.
void writeGlobalsPrefix(StreamWriter& out, std::uint16_t activeSheet);

// The active sheet of a stream that begins with what writeGlobalsPrefix writes, and the position
// just after that prefix; nothing when the stream does not begin so.
struct GlobalsPrefix {
  std::uint16_t activeSheet = 0;
  std::size_t end = 0;
};
std::optional<GlobalsPrefix> readGlobalsPrefix(ByteView stream);

}  // namespace kolt::xls::biff8
