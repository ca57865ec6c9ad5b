#include "engine/unit_index.h"

#include <sqlite3.h>

#include <string>

#include "engine/dialect/emitter.h"

namespace kolt::engine {
namespace {

bool hasColumn(sqlite3* db, std::string_view table, std::string_view column) {
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "SELECT 1 FROM pragma_table_info(?1) WHERE name = ?2 COLLATE NOCASE";
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
  sqlite3_bind_text(stmt, 1, table.data(), static_cast<int>(table.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(stmt, 2, column.data(), static_cast<int>(column.size()), SQLITE_TRANSIENT);
  const bool found = sqlite3_step(stmt) == SQLITE_ROW;
  sqlite3_finalize(stmt);
  return found;
}

// The statement that makes, where missing, an index on `columns` of `table`; empty when the table
// lacks one of them.
std::string indexStatement(sqlite3* db, std::string_view table,
                           const std::vector<std::string_view>& columns) {
  std::string name = "kolt_" + std::string(table), list;
  for (std::string_view column : columns) {
    if (!hasColumn(db, table, column)) return {};
    name += "_" + std::string(column);
    list +=
        (list.empty() ? "" : ", ") + dialect::quoteName(column) + " COLLATE " + dialect::kCollation;
  }
  return "CREATE INDEX IF NOT EXISTS " + dialect::quoteName(name) + " ON " +
         dialect::quoteName(table) + "(" + list + ")";
}

}  // namespace

std::vector<std::string> indexForTextLookups(Connection& cnn,
                                             const std::vector<std::string_view>& tables,
                                             std::string_view column) {
  std::vector<std::string> indexed;
  sqlite3* db = cnn.handle();
  if (db == nullptr) return indexed;
  for (std::string_view table : tables) {
    const std::string sql = indexStatement(db, table, {column});
    if (!sql.empty() && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
      indexed.emplace_back(table);
  }
  return indexed;
}

std::string_view textLookupOrder() {
  return dialect::kCollationVersion;
}

void indexWorkingDatabase(Connection& cnnNueva) {
  sqlite3* db = cnnNueva.handle();
  if (db == nullptr) return;
  auto index = [&](std::string_view table, const std::vector<std::string_view>& columns) {
    const std::string sql = indexStatement(db, table, columns);
    if (!sql.empty()) cnnNueva.executeNative(sql);
  };
  for (std::string_view table :
       {"EGRESO", "OBSTET", "PRODUCTOS", "DEFUNC", "AFECCIONES", "PROCEDIMIENTOS"})
    index(table, {"folio", "clues", "egreso"});
  index("CATCIE10", {"CAUSA"});
  index("CATCIE9MC", {"CVE_PROC"});
  cnnNueva.executeNative("ANALYZE");
}

}  // namespace kolt::engine
