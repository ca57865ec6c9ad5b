#include "access/companion.h"

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/failure_words.h"
#include "base/platform/file_lock.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"

namespace kolt::access {
namespace {

// What the user can do about a folder where the copy of an Access file cannot be written.
constexpr const char* kWriteAdvice =
    "Compruebe que tiene permiso de escritura en la carpeta y que hay espacio libre en el disco, "
    "o copie la base de datos de Access a una carpeta suya y elíjala desde allí.";

// What a companion was made from. Size, times and first page catch an edited file; the device and
// inode with the change time catch a file replaced by a copy that kept size and modification time
// (cp -p, rsync, an unzip); the path catches a companion that belongs to another file of the same
// name.
struct Fingerprint {
  std::string path;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  std::int64_t device = 0;
  std::int64_t inode = 0;
  std::vector<unsigned char> header;
  std::string tables;         // the tables asked for, one a line; empty for all of them
  std::string finishVersion;  // ImportOptions::finishVersion
  friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
};

Fingerprint fingerprintOf(const std::filesystem::path& file, const AccessHeader& header,
                          const ImportOptions& options) {
  const auto stamp = platform::fileStamp(file);
  if (!stamp) throw base::Error(base::kErrFile, missingFileMessage(file));
  Fingerprint f;
  std::error_code ec;
  f.path = platform::utf8(std::filesystem::weakly_canonical(std::filesystem::absolute(file), ec));
  if (ec) f.path = platform::utf8(std::filesystem::absolute(file));
  f.size = stamp->size;
  f.modifiedNs = stamp->modifiedNs;
  f.changedNs = stamp->changedNs;
  // Stored as the engine's integers: the same bits, read back the same.
  f.device = static_cast<std::int64_t>(stamp->device);
  f.inode = static_cast<std::int64_t>(stamp->inode);
  f.header = header.firstPage;
  for (const auto& t : options.tables) f.tables += t + "\n";
  f.finishVersion = options.finishVersion;
  return f;
}

class Handle {
 public:
  Handle(const std::filesystem::path& file, int flags) {
    if (sqlite3_open_v2(platform::utf8(file).c_str(), &db_, flags, nullptr) != SQLITE_OK) {
      sqlite3_close_v2(db_);
      db_ = nullptr;
    }
  }
  ~Handle() { sqlite3_close_v2(db_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  sqlite3* get() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// The files the engine keeps beside a database while it writes it.
std::vector<std::filesystem::path> sideFilesOf(const std::filesystem::path& database) {
  const std::string name = platform::utf8(database);
  return {platform::pathFromUtf8(name + "-journal"), platform::pathFromUtf8(name + "-wal"),
          platform::pathFromUtf8(name + "-shm")};
}

// A journal or write-ahead log beside a database that no process is writing: a write was killed
// halfway and the engine would play what it left into the file. Looked for again once the lock is
// seen free: a writer that has just committed removes its journal before it lets go of its lock.
bool hasSideFilesLeft(const std::filesystem::path& database) {
  auto present = [&] {
    std::error_code ec;
    for (const auto& side : sideFilesOf(database))
      if (std::filesystem::exists(std::filesystem::symlink_status(side, ec))) return true;
    return false;
  };
  return present() && !platform::engineDatabaseBeingWritten(database) && present();
}

void removeSideFiles(const std::filesystem::path& database) {
  std::error_code ignored;
  for (const auto& side : sideFilesOf(database)) std::filesystem::remove(side, ignored);
}

// What a file found where a companion goes turns out to be.
struct Found {
  enum class Kind { None, Companion, Damaged } kind = Kind::None;
  Fingerprint fingerprint;  // of a Companion
  std::string damage;       // what the engine said of a Damaged one
};

bool damageCode(int code) {
  return (code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB;
}

Found inspect(const std::filesystem::path& companion) {
  Found found;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(companion, ec)) return found;
  // A finished companion is never written again: a journal beside it was left by a write that was
  // killed, and whatever the engine would make of the pair cannot be trusted.
  if (hasSideFilesLeft(companion)) {
    found.kind = Found::Kind::Damaged;
    found.damage = "quedó a medio escribir";
    return found;
  }
  Handle db(companion, SQLITE_OPEN_READONLY);
  if (db.get() == nullptr) return found;
  sqlite3_stmt* statement = nullptr;
  const std::string sql =
      std::string(
          "SELECT ruta, tamano, modificado, cambiado, dispositivo, nodo, cabecera, tablas, formato "
          "FROM ") +
      kCompanionOriginTable;
  int rc = sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &statement, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_step(statement);
  if (rc == SQLITE_ROW) {
    Fingerprint& f = found.fingerprint;
    const auto* path = sqlite3_column_text(statement, 0);
    f.path = path != nullptr ? reinterpret_cast<const char*>(path) : "";
    f.size = sqlite3_column_int64(statement, 1);
    f.modifiedNs = sqlite3_column_int64(statement, 2);
    f.changedNs = sqlite3_column_int64(statement, 3);
    f.device = sqlite3_column_int64(statement, 4);
    f.inode = sqlite3_column_int64(statement, 5);
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, 6));
    f.header.assign(bytes, bytes + sqlite3_column_bytes(statement, 6));
    const auto* tables = sqlite3_column_text(statement, 7);
    f.tables = tables != nullptr ? reinterpret_cast<const char*>(tables) : "";
    const auto* version = sqlite3_column_text(statement, 8);
    f.finishVersion = version != nullptr ? reinterpret_cast<const char*>(version) : "";
    found.kind = Found::Kind::Companion;
  } else if (damageCode(sqlite3_extended_errcode(db.get()))) {
    found.kind = Found::Kind::Damaged;
    found.damage = sqlite3_errmsg(db.get());
  }
  // Anything else (no record of its source, or one without the version of what was finished in
  // it: an older companion, or no companion at all) is simply not the companion of this file, and
  // is built again.
  sqlite3_finalize(statement);
  return found;
}

// The last write of a companion before it gets its name. The importer and ImportOptions::finish
// write without waiting for the disk; this commit waits, and the system then writes every page of
// the file it still holds, whichever process wrote it: the companion is on disk whole before its
// name is. One transaction with its journal in memory: one wait for the disk, where a journal file
// costs four for each transaction, and a failure leaves nothing (the temporary file is removed).
void recordFingerprint(const std::filesystem::path& companion, const Fingerprint& f) {
  Handle db(companion, SQLITE_OPEN_READWRITE);
  auto fail = [&] {
    throw base::Error(
        base::kErrFile,
        "No se pudo terminar la copia de la base de datos de Access en la carpeta '" +
            base::folderOf(companion) +
            "'. Compruebe que hay espacio libre en el disco y permiso de escritura en la carpeta.",
        base::detailOf(companion,
                       db.get() != nullptr ? sqlite3_errmsg(db.get()) : "out of memory"));
  };
  if (db.get() == nullptr) fail();
  const std::string create = std::string("CREATE TABLE ") + kCompanionOriginTable +
                             " (ruta TEXT, tamano INTEGER, modificado INTEGER, cambiado INTEGER,"
                             " dispositivo INTEGER, nodo INTEGER, cabecera BLOB, tablas TEXT,"
                             " formato TEXT)";
  const std::string insert =
      std::string("INSERT INTO ") + kCompanionOriginTable + " VALUES (?,?,?,?,?,?,?,?,?)";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_exec(db.get(), "PRAGMA journal_mode=MEMORY; PRAGMA synchronous=FULL; BEGIN", nullptr,
                   nullptr, nullptr) != SQLITE_OK ||
      sqlite3_exec(db.get(), create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db.get(), insert.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    fail();
  }
  sqlite3_bind_text(statement, 1, f.path.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(statement, 2, f.size);
  sqlite3_bind_int64(statement, 3, f.modifiedNs);
  sqlite3_bind_int64(statement, 4, f.changedNs);
  sqlite3_bind_int64(statement, 5, f.device);
  sqlite3_bind_int64(statement, 6, f.inode);
  sqlite3_bind_blob(statement, 7, f.header.data(), static_cast<int>(f.header.size()),
                    SQLITE_TRANSIENT);
  sqlite3_bind_text(statement, 8, f.tables.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(statement, 9, f.finishVersion.c_str(), -1, SQLITE_TRANSIENT);
  const int rc = sqlite3_step(statement);
  sqlite3_finalize(statement);
  if (rc != SQLITE_DONE || sqlite3_exec(db.get(), "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    fail();
}

}  // namespace

std::filesystem::path companionBeside(const std::filesystem::path& sourceFile) {
  return platform::pathFromUtf8(platform::utf8(sourceFile) + ".kolt.db");
}

std::filesystem::path companionInResults(const std::filesystem::path& sourceFile,
                                         const std::filesystem::path& resultsDir) {
  return resultsDir / platform::pathFromUtf8(platform::utf8(sourceFile.filename()) + ".kolt.db");
}

void discardCompanion(const std::filesystem::path& companion) {
  // The side files first: a journal left beside a new file of the same name would be played into
  // it.
  removeSideFiles(companion);
  std::error_code ignored;
  std::filesystem::remove(companion, ignored);
}

std::filesystem::path companionLock(const std::filesystem::path& companion) {
  return platform::pathFromUtf8(platform::utf8(companion) + ".lock");
}

namespace {

// A build killed between naming its companion and letting go of its lock leaves the lock's file
// behind. Nobody holds it then, and the companion is whole: the file is cleared by the next run
// that reuses the companion, instead of staying beside the user's file. One held by a build under
// way is left alone.
void clearStaleLock(const std::filesystem::path& lockFile) {
  std::error_code ec;
  if (!std::filesystem::exists(std::filesystem::symlink_status(lockFile, ec))) return;
  const platform::ExclusiveLock lock = platform::tryLock(lockFile);
  if (lock.state() == platform::ExclusiveLock::State::Held) std::filesystem::remove(lockFile, ec);
}

// openSourceCompanion, or with no `resultsDir` companionBesideOnly.
std::optional<std::filesystem::path> openCompanion(const std::filesystem::path& sourceFile,
                                                   const std::filesystem::path* resultsDir,
                                                   const ImportOptions& options) {
  std::error_code ec;
  if (!std::filesystem::exists(sourceFile, ec))
    throw base::Error(base::kErrFile, missingFileMessage(sourceFile));
  if (std::filesystem::is_regular_file(sourceFile, ec) && isEngineDatabase(sourceFile))
    return sourceFile;

  const AccessHeader header = readAccessHeader(sourceFile);
  const Fingerprint before = fingerprintOf(sourceFile, header, options);
  const auto beside = companionBeside(sourceFile);
  std::vector<std::filesystem::path> candidates = {beside};
  if (resultsDir) candidates.push_back(companionInResults(sourceFile, *resultsDir));
  // The companion of this very file, if one is there; a damaged one is removed (and said so), so
  // that it is built again.
  auto reusable = [&]() -> std::optional<std::filesystem::path> {
    for (const auto& candidate : candidates) {
      const Found found = inspect(candidate);
      if (found.kind == Found::Kind::Companion && found.fingerprint == before) return candidate;
      if (found.kind == Found::Kind::Damaged) {
        discardCompanion(candidate);
        if (options.note)
          options.note("La base de datos auxiliar " + platform::utf8(candidate) +
                       " estaba dañada (" + found.damage + "); se borró y se importa de nuevo " +
                       platform::utf8(sourceFile) + ".");
      }
    }
    return std::nullopt;
  };
  if (auto found = reusable()) {
    clearStaleLock(companionLock(*found));
    return *found;
  }

  std::filesystem::path target = beside;
  // Where the copy goes, as a message names it: the user may have to open up either folder.
  std::string where = "en la carpeta '" + base::folderOf(beside) + "'";
  if (!platform::canCreateFilesIn(sourceFile.parent_path())) {
    if (!resultsDir) return std::nullopt;
    const auto inResults = companionInResults(sourceFile, *resultsDir);
    std::filesystem::create_directories(*resultsDir, ec);
    target = inResults;
    where = "ni en su carpeta '" + base::folderOf(beside) + "' ni en la carpeta de resultados '" +
            base::folderOf(inResults) + "'";
  }
  // One build at a time: a run that finds another building the same companion waits for it and
  // then uses what it built, instead of building over it.
  const auto lockFile = companionLock(target);
  const platform::ExclusiveLock lock = platform::waitForLock(lockFile, [&] {
    if (!options.progress) return;
    ImportProgress waiting;
    waiting.waiting = "Otra validación está importando " + platform::utf8(sourceFile) +
                      "; se espera a que termine para usar lo que importe.";
    options.progress(waiting);
  });
  switch (lock.state()) {
    case platform::ExclusiveLock::State::Held:
      break;
    case platform::ExclusiveLock::State::IsLink:
      throw base::Error(base::kErrFile,
                        "El archivo de reserva " + platform::utf8(lockFile) +
                            " es un enlace a otro archivo, y el programa no escribe a través de "
                            "enlaces. Bórrelo (el archivo al que apunta no se toca) y vuelva a "
                            "intentarlo.");
    default:
      throw base::Error(base::kErrFile,
                        "No se puede guardar la copia de trabajo de " +
                            platform::utf8(sourceFile.filename()) + " " + where +
                            base::becauseOf(lock.error()) + ". " + kWriteAdvice,
                        base::detailOf(lockFile, lock.error().message()));
  }
  if (auto found = reusable()) return *found;

  const auto temporary = base::temporaryNameFor(target);
  const std::error_code renamed = base::replaceFile(temporary, target, [&] {
    importAccessInto(sourceFile, temporary, options);
    // Everything the companion will ever hold is written before it gets its name: a finished
    // companion is only read, so a killed run cannot leave it half written.
    if (options.finish) options.finish(temporary);
    // A file saved while we read it may have been read half old, half new; one that cannot even
    // be looked at now is being written, not damaged.
    const bool unchanged = [&] {
      try {
        return fingerprintOf(sourceFile, readAccessHeader(sourceFile), options) == before;
      } catch (const base::Error&) {
        return false;
      }
    }();
    if (!unchanged) throw changedWhileRead(sourceFile);
    recordFingerprint(temporary, before);
    // The journal of the companion being replaced must not outlive it: the engine would play it
    // into the new file.
    removeSideFiles(target);
  });
  if (renamed) {
    throw base::Error(base::kErrFile,
                      "No se pudo guardar la copia de trabajo de " +
                          platform::utf8(sourceFile.filename()) + " en la carpeta '" +
                          base::folderOf(target) + "'" + base::becauseOf(renamed) + ". " +
                          kWriteAdvice,
                      base::detailOf(target, renamed.message()));
  }
  return target;
}

}  // namespace

std::filesystem::path openSourceCompanion(const std::filesystem::path& sourceFile,
                                          const std::filesystem::path& resultsDir,
                                          const ImportOptions& options) {
  return *openCompanion(sourceFile, &resultsDir, options);
}

std::optional<std::filesystem::path> companionBesideOnly(const std::filesystem::path& sourceFile,
                                                         const ImportOptions& options) {
  return openCompanion(sourceFile, nullptr, options);
}

}  // namespace kolt::access
