// A table's definition as a Jet 4 file stores it: the column descriptors, where each column lives
// in a row, and the bytes of the definition pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kolt::access_writer {

// The column types a discharge database uses, with their codes in the file.
enum class ColumnType : unsigned char {
  Boolean = 0x01,  // Yes/No: held in the row's null mask, never NULL
  Byte = 0x02,
  Integer = 0x03,  // 16 bits
  Long = 0x04,     // 32 bits
  Currency = 0x05,
  Double = 0x07,
  DateTime = 0x08,
  Text = 0x0A,  // up to 255 characters
  Ole = 0x0B,   // long binary; written only as NULL (the catalogue's property column)
  Memo = 0x0C,
};

struct JetColumn {
  std::string name;
  ColumnType type = ColumnType::Text;
  int maxCharacters = 255;  // Text only
};

// Where one column's value sits in a row.
struct ColumnSlot {
  JetColumn column;
  bool fixed = false;               // in the fixed part of the row (numbers, dates, Yes/No)
  std::uint16_t fixedOffset = 0;    // from the end of the row's column count
  std::uint16_t fixedSize = 0;      // bytes in the fixed part (0 for Yes/No)
  std::uint16_t variableIndex = 0;  // among the variable columns (texts, memos)
};

struct TableLayout {
  std::vector<ColumnSlot> columns;
  std::size_t fixedPartSize = 0;
  std::size_t variableCount = 0;
};

// Lays the columns out in the order given. Throws base::Error for a name or a column count Access
// would not accept.
TableLayout layOut(const std::vector<JetColumn>& columns);

struct TableCounts {
  std::uint32_t rows = 0;
  std::uint32_t usedPagesMap = 0;  // row address of the map of the table's data pages
  std::uint32_t freePagesMap = 0;  // row address of the map of its pages with free space
  bool system = false;
};

// The definition's bytes after the 8-byte page header of its first page; the caller spreads them
// over as many pages as they need.
std::vector<unsigned char> tableDefinition(const TableLayout& layout, const TableCounts& counts);

}  // namespace kolt::access_writer
