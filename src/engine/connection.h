// A connection to one engine database: the only way the program runs statements.
//
// Statement texts are written in the Access (Jet) dialect, exactly as the rules and the run driver
// build them. The connection carries each text into SQLite (see dialect/), runs it, and reports a
// failure as a base::Error with a number and a description. The forms it accepts beyond ordinary
// statements:
//   SELECT ... INTO t FROM ...                    creates t from the select list
//   SELECT ... INTO t IN 'file' FROM ...          creates t in another engine database file, a
//                                                 scratch one (written without waiting for the
//                                                 disk)
//   SELECT * INTO [sheet] IN 'book' 'Excel 8.0;' FROM t   hands t's rows to the export sink
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/date_text.h"
#include "base/error.h"
#include "base/value.h"
#include "engine/export_sink.h"

struct sqlite3;

namespace kolt::engine {

struct ColumnInfo {
  std::string name;
  std::string declaredType;  // the source column's declared type; empty for an expression
};

// A static, fully read result: every row is in memory, so the row count is exact.
class Recordset {
 public:
  Recordset() = default;
  Recordset(std::vector<ColumnInfo> columns, std::vector<std::vector<base::Value>> rows);

  bool eof() const { return position_ >= rows_.size(); }
  void moveNext() { ++position_; }
  // The current row's value of the named field, found without regard to letter case.
  // Throws base::Error when there is no such field or no current row.
  const base::Value& field(std::string_view name) const;
  long recordCount() const { return static_cast<long>(rows_.size()); }

  const std::vector<ColumnInfo>& columns() const { return columns_; }
  const std::vector<std::vector<base::Value>>& rows() const { return rows_; }

 private:
  std::vector<ColumnInfo> columns_;
  std::vector<std::vector<base::Value>> rows_;
  std::size_t position_ = 0;
};

// A database read once, whole, into memory, that connections on any thread read as tables of
// their own: they all see the same rows, whatever happens to the file meanwhile (a catalogue
// replaced on a shared drive halfway through a run). Nothing can write to it.
class DatabaseImage {
 public:
  // Reads the engine database `file` in one read of the engine (a consistent copy, even while
  // another program writes the file). Throws base::Error (base::kErrFile) as openReadOnly does.
  explicit DatabaseImage(const std::filesystem::path& file);
  // The database whose bytes, as its file would hold them, are `bytes` (an import into memory);
  // `file` is what it was read from, for messages. Throws base::Error (base::kErrFile) when the
  // bytes are no engine database.
  DatabaseImage(std::string_view bytes, const std::filesystem::path& file);
  ~DatabaseImage();
  DatabaseImage(const DatabaseImage&) = delete;
  DatabaseImage& operator=(const DatabaseImage&) = delete;

  const std::filesystem::path& file() const { return file_; }

 private:
  friend class Connection;
  // Makes schema `schema` of `db` a read-only view of the image.
  void showIn(sqlite3* db, const std::string& schema) const;

  std::filesystem::path file_;
  sqlite3* holder_ = nullptr;  // the in-memory database whose pages the image is
  unsigned char* pages_ = nullptr;
  std::int64_t size_ = 0;
};

class Connection {
 public:
  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Opens an existing engine database. Throws base::Error (base::kErrFile) when the file is missing
  // or is not an engine database.
  void open(const std::filesystem::path& file);
  // Opens an existing engine database for reading only: nothing done through this connection can
  // write to `file`, which the operating system is asked to open read-only (a source shared by
  // runs, or in a folder the user may not write). The tables the connection's own statements make
  // (SELECT ... INTO t FROM ..., without IN) live in memory until close and are found before the
  // file's, so such a table may share its name with one of the file's. Throws as open does.
  void openReadOnly(const std::filesystem::path& file);
  // Opens a new, empty database of this connection's own, in memory: nothing else can see it, it
  // needs no room on the disk, and it is gone at close. file() is then empty.
  void openInMemory();
  // Opens `image` for reading only, as openReadOnly opens a file: the connection's own tables live
  // in memory and are found first, and it may write into other files (SELECT ... INTO t IN
  // 'file'). file() is the image's file. The image must outlive the connection.
  void openImage(const DatabaseImage& image);
  void close();
  bool isOpen() const { return db_ != nullptr; }

  // For a scratch database that is deleted after use (a unit's working database): its journal in
  // memory, no waiting for the disk, and the file's lock taken once and kept, since no other
  // connection opens it meanwhile (the engine would otherwise lock, unlock and recheck the file
  // around every statement). A statement that fails or is interrupted still leaves the database as
  // it was before it; a crash of the process may leave the file unusable, which is why only a
  // database that is rebuilt on every run may be opened so.
  void setScratch();
  // For a database whose pages are each read once (a source from which every unit copies its own
  // rows): a small page cache, since keeping what was read would only let the cache fill up to its
  // limit with pages that are never read again.
  void setReadOnce();
  const std::filesystem::path& file() const { return file_; }
  // From now on a statement in progress on this connection stops, failing, soon after `requested`
  // turns true: a run the user interrupts does not wait for a long copy or rule to end. The engine
  // looks at the flag every few thousand steps of a statement, on the thread that runs it, so the
  // flag may be set from any thread. nullptr: statements always run to their end. Must be open;
  // close forgets it.
  void stopWhen(const std::atomic<bool>* requested);
  // Date() and Now() give `start`, the moment the run began, in every statement from now on, so
  // that every rule of every unit of a run sees one day and one time, and a run repeated on the
  // same source gives the same findings. Without it they give the moment of the opening. Must be
  // open; close forgets it.
  void setRunStart(const base::DateTime& start);

  // Every statement run from now on through execute or openRecordset that is still running after
  // `limit` is interrupted: it fails (number SQLITE_INTERRUPT) and leaves nothing half made. A
  // statement written by mistake as a cross join of large tables would otherwise never end.
  // Zero: no limit, as on a new connection. The limit stays across open and close.
  void setStatementTimeLimit(std::chrono::milliseconds limit);

  // From now on the equalities of the byte group `group` (dialect/emitter.h) are compared byte for
  // byte, until a statement writes to a table with columns of the group or the connection closes.
  // Only for a database whose texts in those columns are all ones the two orders agree on, with
  // indexes on them made without the collation (indexWorkingDatabase, unit_index.h).
  void compareAsBytes(unsigned group) {
    if (db_ != nullptr) byteGroups_ |= group;
  }

  // Runs one statement text; its result, if any, is discarded.
  void execute(std::string_view statement);
  // Rows written by the last execute (inserted into a table or a workbook).
  std::int64_t rowsWritten() const { return rowsWritten_; }

  Recordset openRecordset(std::string_view statement);

  // How the engine would run `statement` now, one step of its plan per line, each indented under
  // the step it belongs to; empty for a statement without a plan (a drop). For finding where a
  // run's time goes (tools/statement_costs.cpp). Throws base::Error as execute does.
  std::string queryPlan(std::string_view statement);

  // Makes the table `sourceTable` of the engine database `file` readable here as `name`, reading
  // that file's current rows (the Access engine's linked table). The link lasts until unlink or
  // close and leaves nothing in this database's file.
  void link(std::string_view name, const std::filesystem::path& file, std::string_view sourceTable);
  // The same link to the table of an image read at some earlier time; the image must outlive it.
  void link(std::string_view name, const DatabaseImage& image, std::string_view sourceTable);
  void unlink(std::string_view name);

  // Where export statements send their rows from now on; nullptr refuses them. The sink must
  // outlive its use here.
  void setExportSink(ExportSink* sink) { exportSink_ = sink; }

  // Creates an empty engine database file; fails when the file exists.
  static void createDatabase(const std::filesystem::path& file);

  // Runs a statement in the engine's own SQL, untranslated (for the rest of src/db only). Throws
  // base::Error as execute does.
  void executeNative(const std::string& sql);

  // The raw handle, for the rest of src/db only (the importer's bulk loading).
  sqlite3* handle() const { return db_; }

 private:
  class Executor;
  class Deadline;
  // The engine's progress handler: non-zero stops the statement under way.
  static int mustStop(void* connection);
  void watchProgress();
  // The opened handle's checks and settings, then it is this connection's.
  void adopt(sqlite3* db, const std::filesystem::path& file, const std::string& schema);

  sqlite3* db_ = nullptr;
  std::filesystem::path file_;
  // The schema that holds the file's tables: "main", or the read-only file attached to a
  // connection whose main database is in memory.
  std::string fileSchema_ = "main";
  std::int64_t rowsWritten_ = 0;
  ExportSink* exportSink_ = nullptr;
  std::chrono::milliseconds timeLimit_{0};
  std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
  bool interrupted_ = false;                          // the statement under way passed its deadline
  unsigned byteGroups_ = 0;                           // see compareAsBytes
  const std::atomic<bool>* stopRequested_ = nullptr;  // see stopWhen
};

// Registers the dialect's functions and collation on a raw SQLite handle. Every handle that runs
// translated statements needs them; Connection does it on open.
void registerDialect(sqlite3* db);

}  // namespace kolt::engine
