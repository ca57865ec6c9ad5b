#include "access_writer/table_definition.h"

#include "access_writer/page_layout.h"
#include "access_writer/text_encoding.h"
#include "base/error.h"
#include "base/utf8.h"

namespace kolt::access_writer {
namespace {

constexpr std::size_t kMaxColumns = 255;
constexpr std::size_t kMaxNameLength = 64;
constexpr std::size_t kColumnDescriptorSize = 25;
constexpr unsigned char kUserTable = 0x4E;
constexpr unsigned char kSystemTable = 0x53;
// Column flags: fixed length, and "updatable" (every ordinary column has it).
constexpr unsigned char kFixedLengthFlag = 0x01;
constexpr unsigned char kUpdatableFlag = 0x02;
constexpr unsigned char kCompressedUnicodeFlag = 0x01;
constexpr std::uint16_t kGeneralSortOrder = 0x0409;

std::uint16_t fixedSizeOf(ColumnType type) {
  switch (type) {
    case ColumnType::Byte:
      return 1;
    case ColumnType::Integer:
      return 2;
    case ColumnType::Long:
      return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime:
      return 8;
    default:
      return 0;
  }
}

void checkName(const std::string& name, const char* what) {
  const std::size_t length = base::utf16FromUtf8(name).size();
  if (length == 0 || length > kMaxNameLength)
    throw base::Error(base::kErrSyntax,
                      std::string("El nombre de ") + what + " «" + name +
                          "» no cabe en Access: debe tener de 1 a 64 caracteres.");
}

}  // namespace

TableLayout layOut(const std::vector<JetColumn>& columns) {
  if (columns.empty() || columns.size() > kMaxColumns)
    throw base::Error(base::kErrSyntax,
                      "Una tabla de Access debe tener de 1 a 255 columnas; ésta tiene " +
                          std::to_string(columns.size()) + ".");
  TableLayout layout;
  for (const JetColumn& column : columns) {
    checkName(column.name, "columna");
    ColumnSlot slot;
    slot.column = column;
    if (column.type == ColumnType::Text && (column.maxCharacters < 1 || column.maxCharacters > 255))
      throw base::Error(base::kErrSyntax, "La columna de texto «" + column.name +
                                              "» debe admitir de 1 a 255 caracteres.");
    slot.fixed = column.type != ColumnType::Text && column.type != ColumnType::Memo &&
                 column.type != ColumnType::Ole;
    if (slot.fixed) {
      slot.fixedSize = fixedSizeOf(column.type);
      // A Yes/No value lives in the null mask and takes no room in the row.
      slot.fixedOffset = slot.fixedSize == 0 ? 0 : static_cast<std::uint16_t>(layout.fixedPartSize);
      layout.fixedPartSize += slot.fixedSize;
    } else {
      slot.variableIndex = static_cast<std::uint16_t>(layout.variableCount++);
    }
    layout.columns.push_back(std::move(slot));
  }
  return layout;
}

std::vector<unsigned char> tableDefinition(const TableLayout& layout, const TableCounts& counts) {
  const auto columnCount = static_cast<std::uint16_t>(layout.columns.size());
  // Offsets below are from the start of the first page; the 8-byte page header is left out.
  std::vector<unsigned char> d(63 - 8 + columnCount * kColumnDescriptorSize, 0);
  auto at = [&](std::size_t pageOffset) { return &d[pageOffset - 8]; };
  put32(at(16), counts.rows);
  at(24)[0] = 0x01;  // autonumbers enabled, as Access writes every table
  at(40)[0] = counts.system ? kSystemTable : kUserTable;
  put16(at(41), columnCount);  // most columns a row has ever had
  put16(at(43), static_cast<std::uint16_t>(layout.variableCount));
  put16(at(45), columnCount);
  // No indexes: logical and real index counts stay 0.
  put32(at(55), counts.usedPagesMap);
  put32(at(59), counts.freePagesMap);

  for (std::size_t i = 0; i < layout.columns.size(); ++i) {
    const ColumnSlot& c = layout.columns[i];
    unsigned char* e = at(63 + i * kColumnDescriptorSize);
    e[0] = static_cast<unsigned char>(c.column.type);
    put16(e + 5, static_cast<std::uint16_t>(i));
    put16(e + 7, c.variableIndex);
    put16(e + 9, static_cast<std::uint16_t>(i));
    const bool text = c.column.type == ColumnType::Text || c.column.type == ColumnType::Memo;
    if (text) put16(e + 11, kGeneralSortOrder);
    e[15] = static_cast<unsigned char>(kUpdatableFlag | (c.fixed ? kFixedLengthFlag : 0));
    e[16] = text ? kCompressedUnicodeFlag : 0;
    put16(e + 21, c.fixedOffset);
    std::uint16_t length = c.fixedSize;
    if (c.column.type == ColumnType::Boolean) length = 1;
    if (c.column.type == ColumnType::Text)
      length = static_cast<std::uint16_t>(c.column.maxCharacters * 2);
    put16(e + 23, length);
  }
  for (const ColumnSlot& c : layout.columns) {
    const std::u16string name = base::utf16FromUtf8(c.column.name);
    const std::size_t start = d.size();
    d.resize(start + 2 + name.size() * 2);
    put16(&d[start], static_cast<std::uint16_t>(name.size() * 2));
    for (std::size_t k = 0; k < name.size(); ++k) put16(&d[start + 2 + 2 * k], name[k]);
  }
  // The list of variable columns' own page maps is empty: it is ended at once.
  d.push_back(0xFF);
  d.push_back(0xFF);
  put32(at(8), static_cast<std::uint32_t>(d.size() + 8));
  return d;
}

}  // namespace kolt::access_writer
