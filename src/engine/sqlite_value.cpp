#include "engine/sqlite_value.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kolt::engine {

base::Value columnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return static_cast<std::int64_t>(sqlite3_column_int64(statement, column));
    case SQLITE_FLOAT:
      return sqlite3_column_double(statement, column);
    case SQLITE_TEXT:
      return std::string(reinterpret_cast<const char*>(sqlite3_column_text(statement, column)),
                         static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
    case SQLITE_BLOB: {
      const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(statement, column));
      return base::Blob{std::vector<unsigned char>(p, p + sqlite3_column_bytes(statement, column))};
    }
    default:
      return std::monostate{};
  }
}

}  // namespace kolt::engine
