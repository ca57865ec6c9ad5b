// The whole workbook stream: the globals, then each sheet's substream.
//
// The globals end with one BOUNDSHEET record per sheet (its name and the stream position of its
// substream) and the shared string table. Sheet substreams hold no absolute positions, so a sheet
// read from one stream can be copied into another unchanged; only the globals are rebuilt.
#pragma once

#include <string>
#include <vector>

#include "xls/biff8_records.h"
#include "xls/biff8_shared_strings.h"

namespace kolt::xls::biff8 {

// The most a workbook stream may hold: its positions are 32-bit, and a compound file with
// 512-byte sectors holds at most 2 GiB.
inline constexpr std::size_t kMaxStreamSize = 0x7FFFFFFF;

struct Sheet {
  std::u16string name;
  ByteView substream;          // from its BOF through its EOF
  std::size_t headerSize = 0;  // of its page header's records, at pageHeaderOffset(); 0: none
};

struct WorkbookContents {
  std::vector<Sheet> sheets;  // substreams point into the stream that was read
  SharedStrings::Contents strings;
  std::size_t activeSheet = 0;
};

// Reads a stream this program wrote, checking every record of it; throws MalformedWorkbook for
// anything else.
WorkbookContents readWorkbook(ByteView stream);

struct SheetSize {
  std::u16string name;
  std::size_t size = 0;  // bytes of its substream
};

// The globals of a workbook whose sheet substreams, of the given sizes, follow them in this order,
// and that opens on sheet `activeSheet`. Throws std::length_error when globals and sheets together
// would exceed kMaxStreamSize.
Bytes writeGlobals(const std::vector<SheetSize>& sheets, const SharedStrings& strings,
                   std::size_t activeSheet);

}  // namespace kolt::xls::biff8
