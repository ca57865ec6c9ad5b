// Writing a new Access 2000-2003 (Jet 4) file, table by table and row by row.
//
// Rows are streamed: a table's rows go to disk a page at a time, so memory does not grow with the
// table (a table keeps one bit per page of the file, at most 64 KiB). What a reader needs to find
// the tables is written once their size is known: each table's definition when it ends, the
// catalogue and the definition page at finish(). Indexes are not written; Access opens such a
// file and can add them. The file is whole only after finish(): a caller that renames it into
// place must do so after.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "access_writer/table_definition.h"
#include "base/value.h"

namespace kolt::access_writer {

class JetWriter {
 public:
  // Creates (or empties) the file. Throws base::Error (base::kErrFile) when it cannot.
  explicit JetWriter(const std::filesystem::path& file);
  ~JetWriter();
  JetWriter(const JetWriter&) = delete;
  JetWriter& operator=(const JetWriter&) = delete;

  // Ends the previous table, if any. Throws base::Error for a name Access would refuse or that is
  // already used (names compare without regard to letter case, as Access does).
  void beginTable(const std::string& name, const std::vector<JetColumn>& columns);
  // One value per column, in the order of beginTable. Throws base::Error naming the table, the row
  // and the column when a value does not fit its column or the row does not fit a page, and when
  // the file would pass the 2 GiB a Jet 4 file may hold.
  void insert(const std::vector<base::Value>& row);
  // Writes the catalogue and the definition page, and closes the file.
  void finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kolt::access_writer
