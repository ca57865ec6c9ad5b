#include "engine/unit_index.h"

#include <sqlite3.h>

#include <map>
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

// The columns of a byte group (dialect/emitter.h).
std::vector<schema::ColumnName> columnsOf(unsigned group) {
  std::vector<schema::ColumnName> columns;
  if (group == dialect::kKeysAsBytes)
    for (std::string_view table : recordTables())
      for (std::string_view column : schema::kDischargeKey) columns.push_back({table, column});
  if (group == dialect::kCodesAsBytes)
    columns.assign(std::begin(schema::kCodeColumns), std::end(schema::kCodeColumns));
  return columns;
}

// Of the byte groups `wanted`, those whose texts are all ones the dialect's order and the bytes'
// agree on (dialect::comparesAsBytes), each table read once for all of them. A table or column
// the database lacks holds none.
unsigned groupsComparingAsBytes(sqlite3* db, unsigned wanted) {
  struct Read {
    std::string list;
    std::vector<unsigned> groups;  // of each column read
  };
  std::map<std::string_view, Read> reads;  // by table
  for (const unsigned group : {dialect::kKeysAsBytes, dialect::kCodesAsBytes})
    for (const schema::ColumnName& c : columnsOf(group & wanted))
      if (hasColumn(db, c.table, c.column)) {
        Read& read = reads[c.table];
        read.list += (read.list.empty() ? "" : ", ") + dialect::quoteName(c.column);
        read.groups.push_back(group);
      }
  unsigned agree = wanted;
  for (const auto& [table, read] : reads) {
    const std::string sql = "SELECT " + read.list + " FROM " + dialect::quoteName(table);
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return 0;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (std::size_t i = 0; i < read.groups.size(); ++i) {
        if ((agree & read.groups[i]) == 0) continue;
        sqlite3_value* v = sqlite3_column_value(stmt, static_cast<int>(i));
        if (sqlite3_value_type(v) != SQLITE_TEXT) continue;
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(v));
        const auto size = static_cast<std::size_t>(sqlite3_value_bytes(v));
        if (!dialect::comparesAsBytes(std::string_view(text, size))) agree &= ~read.groups[i];
      }
      if (agree == 0) break;
    }
    sqlite3_finalize(stmt);
    if (agree == 0 || (rc != SQLITE_ROW && rc != SQLITE_DONE)) return 0;
  }
  return agree;
}

// Rows of `table`; 0 for a table the database lacks.
std::int64_t rowCount(sqlite3* db, std::string_view table) {
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "SELECT count(*) FROM " + dialect::quoteName(table);
  std::int64_t rows = 0;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    rows = sqlite3_column_int64(stmt, 0);
  sqlite3_finalize(stmt);
  return rows;
}

// The byte groups worth their second indexes in this database. The codes' are made on the
// catalogues, as large for a unit of a hundred discharges as for one of ten thousand, and pay only
// where there are enough codes (a record's row for each code column) to look up in them: with a
// catalogue of 18,000 codes, comparing every unit's codes as bytes cost a unit of 300 discharges
// about 15% more instructions and spared one of 5,000 about 10%.
unsigned groupsWorthIt(sqlite3* db) {
  std::int64_t records = 0, catalogues = 0;
  for (const schema::ColumnName& code : schema::kCodeColumns) {
    const schema::Table* table = schema::findTable(code.table);
    (table && table->role == schema::TableRole::Record ? records : catalogues) +=
        rowCount(db, code.table);
  }
  return dialect::kKeysAsBytes | (3 * records >= catalogues ? dialect::kCodesAsBytes : 0u);
}

// An index of a working database: the record tables on their key, the catalogues on their codes.
struct WorkingIndex {
  std::string_view table;
  std::vector<std::string_view> columns;
  unsigned group;  // the byte group its columns are in
};

std::vector<WorkingIndex> workingIndexes() {
  std::vector<WorkingIndex> indexes;
  const std::vector<std::string_view> key(std::begin(schema::kDischargeKey),
                                          std::end(schema::kDischargeKey));
  for (std::string_view table : recordTables())
    indexes.push_back({table, key, dialect::kKeysAsBytes});
  indexes.push_back({"CATCIE10", {"CAUSA"}, dialect::kCodesAsBytes});
  indexes.push_back({"CATCIE9MC", {"CVE_PROC"}, dialect::kCodesAsBytes});
  return indexes;
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
  const std::vector<WorkingIndex> indexes = workingIndexes();
  for (const WorkingIndex& index : indexes) {
    const std::string sql = indexStatement(db, index.table, index.columns);
    if (!sql.empty()) cnnNueva.executeNative(sql);
  }
  cnnNueva.executeNative("ANALYZE");
  // Where a group's texts allow, its equalities are compared as bytes, on indexes of their own;
  // the collated ones stay for the statements that compare those columns with anything else. On
  // such texts the two indexes hold the same entries in the same order, so the statistics of one
  // are the other's.
  const unsigned agree = groupsComparingAsBytes(db, groupsWorthIt(db));
  for (const unsigned group : {dialect::kKeysAsBytes, dialect::kCodesAsBytes}) {
    if ((agree & group) == 0) continue;
    for (const WorkingIndex& index : indexes) {
      if (index.group != group) continue;
      const std::string sql = indexStatement(db, index.table, index.columns, Order::Bytes);
      if (sql.empty()) continue;
      cnnNueva.executeNative(sql);
      cnnNueva.executeNative("INSERT INTO sqlite_stat1 (tbl, idx, stat) SELECT tbl, '" +
                             indexName(index.table, index.columns, Order::Bytes) +
                             "', stat FROM sqlite_stat1 WHERE idx = '" +
                             indexName(index.table, index.columns, Order::Collated) + "'");
    }
    cnnNueva.compareAsBytes(group);
  }
  if (agree != 0) cnnNueva.executeNative("ANALYZE sqlite_schema");  // reads the statistics again
}

}  // namespace kolt::engine
