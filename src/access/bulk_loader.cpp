#include "access/bulk_loader.h"

#include <sqlite3.h>

#include <algorithm>

#include "base/error.h"
#include "base/failure_words.h"
#include "base/names.h"
#include "base/platform/paths.h"

namespace kolt::access {
namespace {

using base::sameName;

// Rowids are unit << kRowBits | row: room for 2^40 rows of a table. A country has some tens of
// thousands of units; a column that merely bears the name, with a different code on every row,
// stops being grouped at kMostUnits rather than filling memory with its codes.
constexpr int kRowBits = 40;
constexpr std::size_t kMostUnits = 65535;

}  // namespace

std::string quoteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out.push_back('"');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

BulkLoader::BulkLoader(const std::filesystem::path& file) : file_(file) {
  // The engine makes its handle even when the open fails, and a constructor that throws runs no
  // destructor: the handle is closed here once its message is taken.
  try {
    // In memory, the engine's own memory file, whose bytes can be handed over whole.
    const std::string name = file.empty() ? "file:kolt_import?vfs=memdb" : platform::utf8(file);
    // One thread uses the connection: the engine need not lock it around every value bound.
    if (sqlite3_open_v2(name.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX |
                            (file.empty() ? SQLITE_OPEN_URI : 0),
                        nullptr) != SQLITE_OK)
      fail("al crearla");
    // A half-written file is never used (it is renamed into place only when complete; a companion
    // is put on disk whole before it is named), so there is nothing for a journal or a sync to
    // protect. Rows are appended where their unit's rows end: the cache needs room for those few
    // pages, not for the table, which it would only hold in memory until the commit.
    const char* setup =
        "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
        "PRAGMA cache_size=-8192; PRAGMA encoding='UTF-8'; BEGIN;";
    if (sqlite3_exec(db_, setup, nullptr, nullptr, nullptr) != SQLITE_OK) fail("al prepararla");
  } catch (...) {
    sqlite3_close_v2(db_);
    throw;
  }
}

BulkLoader::~BulkLoader() {
  sqlite3_finalize(insert_);
  sqlite3_close_v2(db_);
}

void BulkLoader::fail(const std::string& when) {
  // The file has a temporary name the user never sees: the folder is what the user can act on.
  const std::string detail =
      base::detailOf(file_, db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory");
  const int code = db_ != nullptr ? sqlite3_extended_errcode(db_) : SQLITE_NOMEM;
  const std::string folder = "'" + base::folderOf(file_) + "'";
  if (code == SQLITE_FULL || code == SQLITE_IOERR_WRITE)
    throw base::Error(base::kErrDiskFull,
                      "No queda espacio en el disco para copiar la base de datos de Access en la "
                      "carpeta " +
                          folder + ". Libere espacio en el disco y vuelva a intentarlo.",
                      detail);
  throw base::Error(base::kErrFile,
                    "No se pudo escribir la copia de la base de datos de Access en la carpeta " +
                        folder + " (" + when +
                        "). Compruebe que tiene permiso de escritura en esa carpeta y que hay "
                        "espacio libre en el disco, o copie la base de datos de Access a una "
                        "carpeta suya y elíjala desde allí.",
                    detail);
}

void BulkLoader::finishStatement() {
  if (insert_ != nullptr) sqlite3_finalize(insert_);
  insert_ = nullptr;
}

void BulkLoader::beginTable(const std::string& name, const std::vector<SourceColumn>& columns) {
  finishStatement();
  table_ = name;
  unitColumn_.reset();
  unitNumbers_.clear();
  rowsInTable_ = 0;
  // The rowid is set through whichever of its names no column has taken.
  const char* rowidName = nullptr;
  for (const char* candidate : {"rowid", "_rowid_", "oid"})
    if (rowidName == nullptr && std::none_of(columns.begin(), columns.end(), [&](const auto& c) {
          return base::sameName(c.name, candidate);
        }))
      rowidName = candidate;
  for (std::size_t i = 0; i < columns.size() && rowidName != nullptr; ++i)
    if (base::sameName(columns[i].name, "clues")) unitColumn_ = i;

  std::string create = "CREATE TABLE " + quoteIdentifier(name) + " (";
  std::string names, slots;
  if (unitColumn_) names = rowidName, slots = "?";
  for (std::size_t i = 0; i < columns.size(); ++i) {
    create += (i ? ", " : "") + quoteIdentifier(columns[i].name) + " " + columns[i].declaredType;
    names += (names.empty() ? "" : ", ") + quoteIdentifier(columns[i].name);
    slots += slots.empty() ? "?" : ", ?";
  }
  create += ")";
  const std::string insert =
      "INSERT INTO " + quoteIdentifier(name) + " (" + names + ") VALUES (" + slots + ")";
  if (sqlite3_exec(db_, create.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
    fail("al crear la tabla " + name);
  if (sqlite3_prepare_v2(db_, insert.c_str(), -1, &insert_, nullptr) != SQLITE_OK)
    fail("al crear la tabla " + name);
}

std::int64_t BulkLoader::rowidFor(const base::Value& unit) {
  // Rows without a unit code share number 0, and so do units past the last number, which costs
  // them only their closeness.
  std::int64_t number = 0;
  if (const auto* code = std::get_if<std::string>(&unit)) {
    if (auto it = unitNumbers_.find(*code); it != unitNumbers_.end())
      number = it->second;
    else if (unitNumbers_.size() < kMostUnits) {
      number = static_cast<std::int64_t>(unitNumbers_.size()) + 1;
      unitNumbers_.emplace(*code, number);
    }
  }
  return (number << kRowBits) | ++rowsInTable_;
}

void BulkLoader::insert(const std::vector<base::Value>& row) {
  const int first = unitColumn_ ? 2 : 1;
  if (unitColumn_ &&
      sqlite3_bind_int64(insert_, 1,
                         rowidFor(*unitColumn_ < row.size() ? row[*unitColumn_] : base::Value{})) !=
          SQLITE_OK)
    fail("al guardar un valor de la tabla " + table_);
  for (std::size_t i = 0; i < row.size(); ++i) {
    const int slot = static_cast<int>(i) + first;
    const base::Value& v = row[i];
    int rc = SQLITE_OK;
    if (std::holds_alternative<std::monostate>(v)) {
      rc = sqlite3_bind_null(insert_, slot);
    } else if (const auto* n = std::get_if<std::int64_t>(&v)) {
      rc = sqlite3_bind_int64(insert_, slot, *n);
    } else if (const auto* d = std::get_if<double>(&v)) {
      rc = sqlite3_bind_double(insert_, slot, *d);
    } else if (const auto* s = std::get_if<std::string>(&v)) {
      rc = sqlite3_bind_text64(insert_, slot, s->data(), s->size(), SQLITE_STATIC, SQLITE_UTF8);
    } else {
      const auto& bytes = std::get<base::Blob>(v).bytes;
      // A zero-length value must stay a zero-length blob, not become NULL: bind a non-null pointer.
      static const unsigned char kEmpty = 0;
      rc = sqlite3_bind_blob64(insert_, slot, bytes.empty() ? &kEmpty : bytes.data(), bytes.size(),
                               SQLITE_STATIC);
    }
    if (rc != SQLITE_OK) fail("al guardar un valor de la tabla " + table_);
  }
  if (sqlite3_step(insert_) != SQLITE_DONE) fail("al guardar una fila de la tabla " + table_);
  sqlite3_reset(insert_);
}

std::string BulkLoader::takeImage() {
  finishStatement();
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) fail("al terminarla");
  sqlite3_int64 size = 0;
  unsigned char* bytes = sqlite3_serialize(db_, "main", &size, 0);
  if (bytes == nullptr) fail("al leerla");
  std::string image(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(size));
  sqlite3_free(bytes);
  sqlite3_close(db_);
  db_ = nullptr;
  return image;
}

void BulkLoader::finish() {
  finishStatement();
  if (sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) fail("al terminarla");
  if (sqlite3_close(db_) != SQLITE_OK) fail("al cerrarla");
  db_ = nullptr;
}

}  // namespace kolt::access
