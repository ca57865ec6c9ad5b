// Excel 97-2003 workbooks (BIFF8 in an OLE2 compound file).
//
// A Workbook gathers its sheets and is written to disk once, by save(): under a temporary name in
// the same folder, flushed, then renamed over the file, so that an interrupted run leaves either
// the previous workbook or the new one, never a torn file nor one missing some of its sheets.
// Until then the sheets' cells wait in an unnamed spool file beside it, not in memory: a result
// table of a million rows costs disk, not memory.
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kolt::xls {

// How a column's values are written. Text and numbers follow each value's own type; a Date column
// writes canonical date texts as dates with a date format, a Boolean column writes integers as
// TRUE/FALSE. NULL is always an empty cell.
enum class ColumnKind { Plain, Date, Boolean };

struct SheetColumn {
  std::string name;
  ColumnKind kind = ColumnKind::Plain;
};

using Row = std::vector<base::Value>;

// What a sheet prints at the top of each page, on the left, in the centre and on the right: plain
// texts, any of them empty.
struct PageHeader {
  std::string left;
  std::string center;
  std::string right;
};

// The most data rows one sheet holds below its header row (65,536 rows in all).
inline constexpr std::size_t kRowsPerSheet = 65535;
// The most columns one sheet holds.
inline constexpr std::size_t kColumnsPerSheet = 256;

class Workbook {
 public:
  // A new workbook that save() writes to `file`. Throws base::Error (kErrWorkbook, kErrDiskFull)
  // when its spool cannot be made in the file's folder.
  explicit Workbook(std::filesystem::path file);
  // The workbook already at `file`, written by this program, to add sheets to; a new one when
  // there is none. Its sheets keep their page headers and it opens on the same sheet. Throws
  // base::Error (kErrWorkbook) when the file is not such a workbook.
  static Workbook extending(std::filesystem::path file);
  ~Workbook();
  Workbook(Workbook&&) noexcept;
  Workbook& operator=(Workbook&&) noexcept;

  // Fills `row` with the next row and returns true, or returns false after the last one.
  using RowSource = std::function<bool(Row& row)>;

  // Adds the rows as the sheet `sheetName` (column names in row 1) and returns how many there
  // were. Rows beyond kRowsPerSheet go on to further sheets named "{sheetName} (2)", "(3)", ...,
  // each with the header again. The name is made acceptable to Excel: each of the characters
  // []:*?/\ becomes "_", it is cut to 31 characters, and a name already in the workbook (letter
  // case aside) gets " (2)", " (3)", ... Every row must hold one value per column; a sheet holds at
  // most 256 columns. Throws base::Error (kErrWorkbook, kErrDiskFull); the workbook must then not
  // be saved, as it may hold part of the sheet.
  std::size_t addSheet(std::string_view sheetName, const std::vector<SheetColumn>& columns,
                       const RowSource& rows);
  std::size_t addSheet(std::string_view sheetName, const std::vector<SheetColumn>& columns,
                       const std::vector<Row>& rows);

  std::size_t sheetCount() const;
  // The names of the sheets so far, in order, as the workbook holds them: made acceptable to Excel,
  // a large table's further sheets with their " (2)", " (3)", ... The index of a name here is the
  // `sheet` the calls below take.
  std::vector<std::string> sheetNames() const;

  // The page header sheet `sheet` prints with. Any text may be given: a "&" prints as itself, and
  // when the three parts together would be longer than the 255 characters Excel keeps, the longest
  // are shortened, ending in "…", rather than the workbook failing. All three empty: no header.
  // Throws base::Error (kErrWorkbook) when there is no such sheet.
  void setPageHeader(std::size_t sheet, PageHeader header);
  // The sheet the workbook opens on, its tab selected and shown in the tab bar; the first sheet
  // unless this says otherwise. Throws base::Error (kErrWorkbook) when there is no such sheet.
  void setActiveSheet(std::size_t sheet);

  const std::filesystem::path& file() const;

  // Writes the workbook to its file in one go. Throws base::Error (kErrWorkbook, kErrDiskFull); the
  // file on disk is then unchanged.
  void save();

 private:
  struct State;
  explicit Workbook(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

// The workbook at `workbook` with one more sheet, saved (Workbook::extending, addSheet, save).
void appendSheet(const std::filesystem::path& workbook, std::string_view sheetName,
                 const std::vector<SheetColumn>& columns, const std::vector<Row>& rows);

// The names of the sheets of a workbook written by this program, in order. Throws base::Error
// (kErrWorkbook) when the file is missing or is not such a workbook.
std::vector<std::string> sheetNames(const std::filesystem::path& workbook);

}  // namespace kolt::xls
