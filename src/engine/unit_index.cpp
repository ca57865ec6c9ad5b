#include "engine/unit_index.h"

#include <sqlite3.h>

#include <string>

#include "engine/dialect/emitter.h"
#include "engine/dialect/functions.h"
#include "schema/tables.h"

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

enum class Order { Collated, Bytes };

std::string indexName(std::string_view table, const std::vector<std::string_view>& columns,
                      Order order) {
  std::string name = "kolt_" + std::string(table);
  for (std::string_view column : columns) name += "_" + std::string(column);
  return order == Order::Bytes ? name + "_bytes" : name;
}

// The statement that makes, where missing, an index on `columns` of `table`, in `order`; empty
// when the table lacks one of them.
std::string indexStatement(sqlite3* db, std::string_view table,
                           const std::vector<std::string_view>& columns,
                           Order order = Order::Collated) {
  std::string list;
  for (std::string_view column : columns) {
    if (!hasColumn(db, table, column)) return {};
    list += (list.empty() ? "" : ", ") + dialect::quoteName(column) +
            (order == Order::Collated ? std::string(" COLLATE ") + dialect::kCollation : "");
  }
  return "CREATE INDEX IF NOT EXISTS " + dialect::quoteName(indexName(table, columns, order)) +
         " ON " + dialect::quoteName(table) + "(" + list + ")";
}

std::vector<std::string_view> recordTables() {
  std::vector<std::string_view> tables;
  for (const schema::Table& table : schema::allTables())
    if (table.role == schema::TableRole::Record) tables.push_back(table.name);
  return tables;
}

// Whether every text in the discharge key of the record tables is one the dialect's order and
// the bytes' agree on (dialect::comparesAsBytes). Read from the collated index on the key, whose
// entries hold nothing else.
bool keysCompareAsBytes(sqlite3* db) {
  const std::vector<std::string_view> key(std::begin(schema::kDischargeKey),
                                          std::end(schema::kDischargeKey));
  for (std::string_view table : recordTables()) {
    std::string list;
    for (std::string_view column : key)
      if (hasColumn(db, table, column))
        list += (list.empty() ? "" : ", ") + dialect::quoteName(column);
    if (list.empty()) continue;
    const std::string sql = "SELECT " + list + " FROM " + dialect::quoteName(table);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return false;
    bool agree = true;
    int rc;
    while (agree && (rc = sqlite3_step(stmt)) == SQLITE_ROW)
      for (int i = 0; agree && i < sqlite3_column_count(stmt); ++i)
        if (sqlite3_column_type(stmt, i) == SQLITE_TEXT) {
          const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
          const auto size = static_cast<std::size_t>(sqlite3_column_bytes(stmt, i));
          agree = dialect::comparesAsBytes(std::string_view(text, size));
        }
    sqlite3_finalize(stmt);
    if (!agree || rc != SQLITE_DONE) return false;
  }
  return true;
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
  const std::vector<std::string_view> key(std::begin(schema::kDischargeKey),
                                          std::end(schema::kDischargeKey));
  for (std::string_view table : recordTables()) index(table, key);
  index("CATCIE10", {"CAUSA"});
  index("CATCIE9MC", {"CVE_PROC"});
  cnnNueva.executeNative("ANALYZE");
  // Where the keys allow, the joins compare them as bytes, on indexes of their own; the collated
  // ones stay for the statements that compare a key with anything else. On such keys the two
  // indexes hold the same entries in the same order, so the statistics of one are the other's.
  if (keysCompareAsBytes(db)) {
    for (std::string_view table : recordTables()) {
      const std::string sql = indexStatement(db, table, key, Order::Bytes);
      if (sql.empty()) continue;
      cnnNueva.executeNative(sql);
      cnnNueva.executeNative("INSERT INTO sqlite_stat1 (tbl, idx, stat) SELECT tbl, '" +
                             indexName(table, key, Order::Bytes) +
                             "', stat FROM sqlite_stat1 WHERE idx = '" +
                             indexName(table, key, Order::Collated) + "'");
    }
    cnnNueva.executeNative("ANALYZE sqlite_schema");  // reads the statistics again
    cnnNueva.compareKeysAsBytes();
  }
}

}  // namespace kolt::engine
