// Importing an Access file (Jet3 .mdb, Jet4 .mdb, ACE .accdb) into an engine database.
//
// The rest of the program never reads Access files: it works on an engine database holding the
// same tables. These are the ways to get one:
//
//   importAccess(source, target, options)
//       Every user table of `source` (or the tables named in options.tables) into a new engine
//       database `target`. Tables and columns keep their Access names. Declared types, so that the
//       rules compare as Access does:
//         Yes/No            BOOLEAN       -1 / 0
//         Byte, Integer, Long Integer, Big Integer
//                           TINYINT, SMALLINT, INTEGER, BIGINT
//         Single, Double    FLOAT, DOUBLE (a Single is stored as its exact value widened)
//         Currency          CURRENCY      } numbers (integer or double) that keep every digit;
//         Decimal(p,s)      DECIMAL(p,s)  } a value no number can hold exactly is refused
//         Date/Time, Date/Time Extended
//                           DATETIME      canonical text of schema/date_text.h
//         Text, Memo        TEXT, LONGTEXT  UTF-8
//         Replication ID    CHAR(38)      "{8E39276A-BCA8-4AC4-891E-49911D8438DD}"
//         Binary, OLE       BLOB          a zero-length value stays a zero-length blob
//       The reading happens in the child process kolt-importar under time and memory limits, and
//       under a processor-time budget that grows with the file's size (a damaged file that keeps
//       the reader busy without end is refused within seconds);
//       `target` appears only when the whole import succeeded (it is built under a temporary name
//       and renamed), replacing any older file of that name.
//
//   openSourceCompanion(accessFile, resultsDir, options)   (companion.h)
//       The engine database to use for a source or catalogue file, imported once and reused.
//
//   importAccessToMemory(source, options)
//       The same tables as the bytes of an engine database, with no file written anywhere.
//
// Every failure is a base::Error with a Spanish description that names the file and says what the
// user can do: base::kErrFile (missing or unreadable file, importer missing, no room to write),
// base::kErrNotAccessFile (not an Access file, damaged, or its reading crashed, hung or ran out of
// memory), base::kErrAccessPassword, base::kErrNoSuchTable (a named table the file lacks). A file
// whose size, times or identity are not the same after the reading as before it changed while it
// was read: whatever the reading made of it, the import fails with changedWhileRead (kErrFile),
// never calling the file damaged.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "access/access_header.h"
#include "base/error.h"

namespace kolt::access {

// Where an import stands, for a progress bar. Reported when the file is opened, when each table
// begins, a few times a second while rows are read, and once at the end.
struct ImportProgress {
  std::string format;  // "JET3", "JET4", "ACE12", ...
  int tableCount = 0;
  int tableIndex = 0;          // 1-based; 0 before the first table
  std::string table;           // the table being read
  std::int64_t tableRows = 0;  // rows of that table read so far
  std::int64_t tableRowsExpected = 0;
  std::int64_t rows = 0;          // rows read in all tables so far
  std::int64_t rowsExpected = 0;  // the row counts the file's table definitions record
  bool finished = false;
  // Not empty while this process waits for another that is importing the same file: what to tell
  // the user.
  std::string waiting;
};
using ImportProgressFn = std::function<void(const ImportProgress&)>;

struct ImportLimits {
  // The whole import. Zero: five minutes plus one minute per 50 MB of file.
  std::chrono::milliseconds timeout{0};
  // The longest the child may stay silent; it reports several times a second while it works.
  std::chrono::milliseconds stallTimeout{std::chrono::seconds(60)};
  std::uint64_t memoryBytes = std::uint64_t{4} << 30;  // the child's address space
};

struct ImportOptions {
  std::vector<std::string> tables;  // empty: every user table
  ImportProgressFn progress;
  ImportLimits limits;
  // The kolt-importar executable; empty: the one beside the running program.
  std::filesystem::path importer;
  // For openSourceCompanion: what is still to be done to a new companion before it gets its name
  // (the program's indexes), given its temporary file; throws base::Error to give up the build.
  // It need not wait for the disk: the whole companion is put on disk once, after it.
  std::function<void(const std::filesystem::path& database)> finish;
  // For openSourceCompanion: what `finish` makes depends on besides the source (the order of its
  // indexes, engine::textLookupOrder). Recorded in the companion, which is built again when it was
  // made under another: an index in another order would make lookups miss rows.
  std::string finishVersion;
  // For openSourceCompanion: a line for the run's log (a damaged companion built again).
  std::function<void(const std::string& line)> note;
};

struct ImportSummary {
  std::string format;
  std::int64_t rows = 0;
  std::vector<std::string> tables;
};

ImportSummary importAccess(const std::filesystem::path& source, const std::filesystem::path& target,
                           const ImportOptions& options = {});

// Imports into memory, writing no file anywhere: the bytes of an engine database holding the
// tables (engine::DatabaseImage reads them), for a reading that must leave no copy of the file
// behind. Throws as importAccess does.
std::string importAccessToMemory(const std::filesystem::path& source, const ImportOptions& options);

// What a reading of `source` is refused with when the file changed while it was read (another
// program was still copying or saving it): what was read may be half the old file and half the new,
// and whatever the reading made of it says nothing about the file itself.
base::Error changedWhileRead(const std::filesystem::path& source);

// The kolt-importar beside the running executable.
std::filesystem::path defaultImporterPath();

// Imports into exactly `temporaryTarget`, which the caller removes on failure or renames on
// success; for building a file that gets more than the imported tables before it is put in place.
ImportSummary importAccessInto(const std::filesystem::path& source,
                               const std::filesystem::path& temporaryTarget,
                               const ImportOptions& options);

}  // namespace kolt::access
