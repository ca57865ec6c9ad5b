// Workbooks read back with xlrd (tests/xls/read_xls.py), a reader that shares nothing with our
// writer, so a test compares what a user's spreadsheet program would show.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace kolt::test {

// Rows of cells, each "text:abc", "number:12.5", "date:...|format", "bool:true" or "" (empty).
// Trailing empty cells of a row are left out.
using SheetCells = std::vector<std::vector<std::string>>;

// How a sheet shows and prints: its WINDOW2 flags as xlrd reads them, and its page header string
// as stored ("&L...&C...&R...", codes and "&&" included), nothing when it has none.
struct SheetView {
  bool selected = false;
  bool shown = false;
  std::optional<std::string> pageHeader;
  bool operator==(const SheetView&) const = default;
};

struct ReadBack {
  std::size_t activeSheet = 0;  // the sheet the workbook opens on
  std::size_t firstTab = 0;     // the first tab the tab bar shows
  std::vector<std::string> names;
  std::vector<SheetView> views;
  std::vector<SheetCells> sheets;
  std::vector<std::vector<double>> dateSerials;  // of the date cells, in reading order per sheet
};

// Every sheet of `book`. Throws std::runtime_error when xlrd cannot read it.
ReadBack readBack(const std::filesystem::path& book);

// The cells of the sheet named `name`, header row first. Throws when there is no such sheet.
SheetCells sheet(const ReadBack& book, const std::string& name);

}  // namespace kolt::test
