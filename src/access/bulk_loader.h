// Writing imported tables into a new engine database, as fast as SQLite allows.
//
// The target is a file nobody else has open yet (the importer builds under a temporary name and
// renames at the end), so the load runs without a journal, in one transaction, through one prepared
// INSERT per table. Identifiers are quoted with double quotes so that any Access name ("Asset
// Items", "Umsätze") becomes the same name in the engine.
//
// A table with a `clues` column keeps each unit's rows together: a row's rowid is its unit's
// number (in order of first appearance) in the high bits and its place in the file in the low
// ones. A run copies one unit at a time through the index on `clues`; with the rows of a unit on
// a few neighbouring pages, that copy reads those pages and not, as with the rows in the order
// units sent them, nearly every page of the table. Within a unit the rows keep the file's order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "access/mdb_reader.h"
#include "base/value.h"

struct sqlite3;
struct sqlite3_stmt;

namespace kolt::access {

std::string quoteIdentifier(const std::string& name);

class BulkLoader {
 public:
  // Creates the database file; an empty path: a database in memory, read back with takeImage.
  // Throws base::Error (base::kErrFile) when it cannot.
  explicit BulkLoader(const std::filesystem::path& file);
  ~BulkLoader();
  BulkLoader(const BulkLoader&) = delete;
  BulkLoader& operator=(const BulkLoader&) = delete;

  void beginTable(const std::string& name, const std::vector<SourceColumn>& columns);
  void insert(const std::vector<base::Value>& row);
  // Commits everything and closes the file; without it the file holds nothing usable.
  void finish();
  // For a database in memory: commits everything and gives the database's bytes, as its file
  // would hold them.
  std::string takeImage();

 private:
  [[noreturn]] void fail(const std::string& when);
  void finishStatement();
  std::int64_t rowidFor(const base::Value& unit);

  std::filesystem::path file_;
  sqlite3* db_ = nullptr;
  sqlite3_stmt* insert_ = nullptr;
  std::string table_;
  std::optional<std::size_t> unitColumn_;  // the table's `clues` column, when it has one
  std::unordered_map<std::string, std::int64_t> unitNumbers_;
  std::int64_t rowsInTable_ = 0;
};

}  // namespace kolt::access
