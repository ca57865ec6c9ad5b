// One row as a Jet 4 data page stores it:
//
//   column count (2) | fixed part | variable values | end of data (2) |
//   variable value offsets, last first (2 each) | variable count (2) | null mask
//
// The fixed part always has every fixed column's room, NULL or not; a NULL variable value takes no
// bytes. In the null mask a set bit means "not NULL", except for Yes/No columns, whose bit is
// the value. A table without variable columns has neither the end of data, the offsets nor their
// count.
#pragma once

#include <vector>

#include "access_writer/field_values.h"
#include "access_writer/table_definition.h"

namespace kolt::access_writer {

// The size the row of these fields takes, its layout included.
std::size_t rowSize(const TableLayout& layout, const std::vector<Field>& fields);

// Writes the row into `out` (replacing its contents). Memo fields must already hold their 12-byte
// descriptor (and the value itself when it is kept in the row).
void encodeRow(const TableLayout& layout, const std::vector<Field>& fields,
               std::vector<unsigned char>& out);

// The descriptor of a memo kept in the row, followed by the value.
void inlineMemo(std::vector<unsigned char>& bytes);
// Replaces `bytes` by the descriptor of a memo of `length` bytes stored on long-value pages, the
// first of them at `firstRow`.
void memoOnPages(std::vector<unsigned char>& bytes, std::size_t length, std::uint32_t firstRow);

}  // namespace kolt::access_writer
