// Excel 97-2003 workbooks (BIFF8 in an OLE2 compound file).
//
// A workbook is written one sheet at a time: appendSheet adds a sheet after those already in the
// file, or creates the file with that one sheet. The file on disk is complete after every call: the
// new workbook is written under a temporary name in the same folder and renamed over the old one,
// so an interrupted run leaves either the previous workbook or the new one, never a torn file.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace kolt::db {

// How a column's values are written. Text and numbers follow each value's own type; a Date column
// writes canonical date texts as dates with a date format, a Boolean column writes integers as
// TRUE/FALSE. NULL is always an empty cell.
enum class ColumnKind { Plain, Date, Boolean };

struct SheetColumn {
  std::string name;
  ColumnKind kind = ColumnKind::Plain;
};

using Row = std::vector<Value>;

// The most data rows one sheet holds below its header row (65,536 rows in all).
inline constexpr std::size_t kRowsPerSheet = 65535;

// Appends `rows` as the sheet `sheetName` (column names in row 1). Rows beyond kRowsPerSheet go on
// to further sheets named "{sheetName} (2)", "{sheetName} (3)", ..., each with the header again.
// The name is made acceptable to Excel: the characters []:*?/\ become "_", it is cut to 31
// characters, and a name already in the workbook (letter case aside) gets " (2)", " (3)", ...
// Every row must hold one value per column; a sheet holds at most 256 columns.
// Throws DbError (kErrWorkbook) when the file cannot be read back or written, when it is not a
// workbook written by this function, or when the rows do not fit; the file on disk is then
// unchanged. Calls on different files are independent; two calls on one file must not overlap.
void appendSheet(const std::filesystem::path& workbook, std::string_view sheetName,
                 const std::vector<SheetColumn>& columns, const std::vector<Row>& rows);

// The names of the sheets of a workbook written by appendSheet, in order. Throws DbError
// (kErrWorkbook) when the file is missing or is not such a workbook.
std::vector<std::string> sheetNames(const std::filesystem::path& workbook);

}  // namespace kolt::db
