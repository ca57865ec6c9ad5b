#include "access_writer/row_encoding.h"

#include <cstring>

#include "access_writer/page_layout.h"

namespace kolt::access_writer {
namespace {

constexpr std::uint32_t kMemoInRow = 0x80000000;
constexpr std::size_t kMemoDescriptorSize = 12;

std::size_t nullMaskSize(const TableLayout& layout) {
  return (layout.columns.size() + 7) / 8;
}

}  // namespace

std::size_t rowSize(const TableLayout& layout, const std::vector<Field>& fields) {
  std::size_t size = 2 + layout.fixedPartSize + nullMaskSize(layout);
  if (layout.variableCount == 0) return size;
  size += 2 + 2 * layout.variableCount + 2;
  for (std::size_t i = 0; i < fields.size(); ++i)
    if (!layout.columns[i].fixed && !fields[i].null) size += fields[i].bytes.size();
  return size;
}

void encodeRow(const TableLayout& layout, const std::vector<Field>& fields,
               std::vector<unsigned char>& out) {
  out.assign(rowSize(layout, fields), 0);
  const std::size_t columns = layout.columns.size();
  put16(out.data(), static_cast<std::uint16_t>(columns));
  unsigned char* mask = out.data() + out.size() - nullMaskSize(layout);
  for (std::size_t i = 0; i < columns; ++i) {
    const ColumnSlot& c = layout.columns[i];
    const Field& f = fields[i];
    const bool bit = c.column.type == ColumnType::Boolean ? f.yes : !f.null;
    if (bit) mask[i / 8] |= static_cast<unsigned char>(1u << (i % 8));
    if (c.fixed && !f.null && !f.bytes.empty())
      std::memcpy(out.data() + 2 + c.fixedOffset, f.bytes.data(), f.bytes.size());
  }
  if (layout.variableCount == 0) return;
  // Variable values in column order; the offsets go just before the variable count, last first.
  std::size_t at = 2 + layout.fixedPartSize;
  unsigned char* countAt = mask - 2;
  put16(countAt, static_cast<std::uint16_t>(layout.variableCount));
  for (std::size_t i = 0; i < columns; ++i) {
    const ColumnSlot& c = layout.columns[i];
    if (c.fixed) continue;
    put16(countAt - 2 * (c.variableIndex + 1), static_cast<std::uint16_t>(at));
    if (!fields[i].null && !fields[i].bytes.empty()) {
      std::memcpy(out.data() + at, fields[i].bytes.data(), fields[i].bytes.size());
      at += fields[i].bytes.size();
    }
  }
  put16(countAt - 2 * (layout.variableCount + 1), static_cast<std::uint16_t>(at));
}

void inlineMemo(std::vector<unsigned char>& bytes) {
  const auto length = static_cast<std::uint32_t>(bytes.size());
  bytes.insert(bytes.begin(), kMemoDescriptorSize, 0);
  put32(bytes.data(), length | kMemoInRow);
}

void memoOnPages(std::vector<unsigned char>& bytes, std::size_t length, std::uint32_t firstRow) {
  bytes.assign(kMemoDescriptorSize, 0);
  put32(bytes.data(), static_cast<std::uint32_t>(length));
  put32(bytes.data() + 4, firstRow);
}

}  // namespace kolt::access_writer
