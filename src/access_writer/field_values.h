// Engine values turned into the bytes a Jet 4 row stores for them.
#pragma once

#include <vector>

#include "access_writer/table_definition.h"
#include "base/value.h"

namespace kolt::access_writer {

struct Field {
  bool null = true;
  bool yes = false;                  // Yes/No columns: the value, kept in the null mask
  std::vector<unsigned char> bytes;  // fixed-size value, or the stored text of a Text or Memo
};

// A memo longer than this many characters is stored uncompressed, as Access requires.
inline constexpr std::size_t kMaxCompressedMemo = 1024;

// Fills `field` (reusing its buffer) with `value` for the column in `slot`. A value the column type
// cannot hold exactly (a text in a number column, a number out of range, a text longer than the
// column, bytes) throws base::Error naming the column; nothing is rounded or cut silently. A NULL
// Yes/No value is stored as No, the only NULL a Yes/No column knows.
void encodeField(const ColumnSlot& slot, const base::Value& value, Field& field);

}  // namespace kolt::access_writer
