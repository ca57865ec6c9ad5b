// Reading the user tables of an Access file through libmdb, value by value.
//
// Only the importer's child process uses this: libmdb trusts the file's own offsets and can fault
// on a damaged file, so it never runs inside the program itself. libmdb is asked for the structure
// (catalogue, columns, data pages, row slots); every value is decoded here from its stored bytes
// (jet_values.h), and every offset libmdb hands back is checked against the page first.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/value.h"

namespace kolt::access {

struct SourceColumn {
  std::string name;
  std::string declaredType;  // the engine type the column is created with
};

struct SourceTable {
  std::string name;
  std::uint64_t rowEstimate = 0;  // the row count the table definition records
};

class MdbReader {
 public:
  // Opens the file read-only. Throws base::Error (base::kErrNotAccessFile) when libmdb cannot read
  // its catalogue.
  explicit MdbReader(const std::filesystem::path& file);
  ~MdbReader();
  MdbReader(const MdbReader&) = delete;
  MdbReader& operator=(const MdbReader&) = delete;

  // The user tables in catalogue order: no system (MSys*) tables, no linked tables.
  const std::vector<SourceTable>& tables() const { return tables_; }

  // Reads one table: `onColumns` once, then `onRow` for every row in the file's scan order.
  // Throws base::Error when a row cannot be read; nothing is skipped silently.
  using RowSink = std::function<void(const std::vector<base::Value>&)>;
  void readTable(const std::string& name,
                 const std::function<void(const std::vector<SourceColumn>&)>& onColumns,
                 const RowSink& onRow);

 private:
  // Where every Access file keeps the definition of its catalogue table, MSysObjects.
  static constexpr unsigned kCataloguePage = 2;
  void checkCatalogueWhole() const;

  struct State;
  std::unique_ptr<State> state_;
  std::filesystem::path file_;
  std::vector<SourceTable> tables_;
};

}  // namespace kolt::access
