#include "access/companion.h"

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"

namespace kolt::access {
namespace {

// What a companion was made from. Size, time and first page catch an edited or replaced file; the
// path catches a companion that belongs to another file of the same name.
struct Fingerprint {
  std::string path;
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::vector<unsigned char> header;
  std::string tables;  // the tables asked for, one a line; empty for all of them
  friend bool operator==(const Fingerprint&, const Fingerprint&) = default;
};

Fingerprint fingerprintOf(const std::filesystem::path& file, const AccessHeader& header,
                          const std::vector<std::string>& tables) {
  const auto stamp = platform::fileStamp(file);
  if (!stamp) throw base::Error(base::kErrFile, missingFileMessage(file));
  Fingerprint f;
  std::error_code ec;
  f.path = platform::utf8(std::filesystem::weakly_canonical(std::filesystem::absolute(file), ec));
  if (ec) f.path = platform::utf8(std::filesystem::absolute(file));
  f.size = stamp->size;
  f.modifiedNs = stamp->modifiedNs;
  f.header = header.firstPage;
  for (const auto& t : tables) f.tables += t + "\n";
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

std::optional<Fingerprint> recordedFingerprint(const std::filesystem::path& companion) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(companion, ec)) return std::nullopt;
  Handle db(companion, SQLITE_OPEN_READONLY);
  if (db.get() == nullptr) return std::nullopt;
  sqlite3_stmt* statement = nullptr;
  const std::string sql = std::string("SELECT ruta, tamano, modificado, cabecera, tablas FROM ") +
                          kCompanionOriginTable;
  if (sqlite3_prepare_v2(db.get(), sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    return std::nullopt;
  }
  std::optional<Fingerprint> found;
  if (sqlite3_step(statement) == SQLITE_ROW) {
    Fingerprint f;
    const auto* path = sqlite3_column_text(statement, 0);
    f.path = path != nullptr ? reinterpret_cast<const char*>(path) : "";
    f.size = sqlite3_column_int64(statement, 1);
    f.modifiedNs = sqlite3_column_int64(statement, 2);
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement, 3));
    f.header.assign(bytes, bytes + sqlite3_column_bytes(statement, 3));
    const auto* tables = sqlite3_column_text(statement, 4);
    f.tables = tables != nullptr ? reinterpret_cast<const char*>(tables) : "";
    found = std::move(f);
  }
  sqlite3_finalize(statement);
  return found;
}

void recordFingerprint(const std::filesystem::path& companion, const Fingerprint& f) {
  Handle db(companion, SQLITE_OPEN_READWRITE);
  auto fail = [&] {
    throw base::Error(base::kErrFile,
                      "No se pudo completar " + platform::utf8(companion) + " (" +
                          (db.get() != nullptr ? sqlite3_errmsg(db.get()) : "sin memoria") +
                          "). Compruebe que hay espacio libre en el disco.");
  };
  if (db.get() == nullptr) fail();
  const std::string create =
      std::string("CREATE TABLE ") + kCompanionOriginTable +
      " (ruta TEXT, tamano INTEGER, modificado INTEGER, cabecera BLOB, tablas TEXT)";
  const std::string insert =
      std::string("INSERT INTO ") + kCompanionOriginTable + " VALUES (?,?,?,?,?)";
  sqlite3_stmt* statement = nullptr;
  if (sqlite3_exec(db.get(), create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db.get(), insert.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
    sqlite3_finalize(statement);
    fail();
  }
  sqlite3_bind_text(statement, 1, f.path.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_int64(statement, 2, f.size);
  sqlite3_bind_int64(statement, 3, f.modifiedNs);
  sqlite3_bind_blob(statement, 4, f.header.data(), static_cast<int>(f.header.size()),
                    SQLITE_TRANSIENT);
  sqlite3_bind_text(statement, 5, f.tables.c_str(), -1, SQLITE_TRANSIENT);
  const int rc = sqlite3_step(statement);
  sqlite3_finalize(statement);
  if (rc != SQLITE_DONE) fail();
}

}  // namespace

std::filesystem::path companionBeside(const std::filesystem::path& sourceFile) {
  return platform::pathFromUtf8(platform::utf8(sourceFile) + ".kolt.db");
}

std::filesystem::path companionInResults(const std::filesystem::path& sourceFile,
                                         const std::filesystem::path& resultsDir) {
  return resultsDir / platform::pathFromUtf8(platform::utf8(sourceFile.filename()) + ".kolt.db");
}

std::filesystem::path openSourceCompanion(const std::filesystem::path& sourceFile,
                                          const std::filesystem::path& resultsDir,
                                          const ImportOptions& options) {
  std::error_code ec;
  if (!std::filesystem::exists(sourceFile, ec))
    throw base::Error(base::kErrFile, missingFileMessage(sourceFile));
  if (std::filesystem::is_regular_file(sourceFile, ec) && isEngineDatabase(sourceFile))
    return sourceFile;

  const AccessHeader header = readAccessHeader(sourceFile);
  const Fingerprint before = fingerprintOf(sourceFile, header, options.tables);
  const auto beside = companionBeside(sourceFile);
  const auto inResults = companionInResults(sourceFile, resultsDir);
  for (const auto& candidate : {beside, inResults})
    if (recordedFingerprint(candidate) == before) return candidate;

  std::filesystem::path target = beside;
  if (!platform::canCreateFilesIn(sourceFile.parent_path())) {
    std::filesystem::create_directories(resultsDir, ec);
    target = inResults;
  }
  const auto temporary = base::temporaryNameFor(target);
  const std::error_code renamed = base::replaceFile(temporary, target, [&] {
    importAccessInto(sourceFile, temporary, options);
    // A file saved while we read it may have been read half old, half new.
    if (fingerprintOf(sourceFile, readAccessHeader(sourceFile), options.tables) != before) {
      throw base::Error(base::kErrFile,
                        "El archivo " + platform::utf8(sourceFile) +
                            " cambió mientras se leía. Cierre los programas que lo usan "
                            "(Access) y vuelva a elegirlo.");
    }
    recordFingerprint(temporary, before);
  });
  if (renamed) {
    throw base::Error(base::kErrFile, "No se pudo guardar " + platform::utf8(target) + " (" +
                                          renamed.message() +
                                          "). Compruebe el permiso de escritura en la carpeta.");
  }
  return target;
}

}  // namespace kolt::access
