#include "engine/connection.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <set>

#include "base/date_text.h"
#include "base/failure_words.h"
#include "base/names.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "engine/dialect/emitter.h"
#include "engine/dialect/functions.h"
#include "engine/dialect/translation.h"
#include "engine/sqlite_value.h"
#include "schema/tables.h"

namespace kolt::engine {
namespace {

// Every connection of the process shares one cache: a translation depends on the statement text
// alone, and the units of a run, each on its own thread and connections, repeat the same texts.
// The cache guards itself, so the threads need no lock of theirs.
TranslationCache& translations() {
  static TranslationCache cache;
  return cache;
}

using dialect::quoteName;

std::string sqlToRun(const Translation& t, unsigned byteGroups) {
  return dialect::bytesFor(t.sql, byteGroups);
}

// The byte groups (dialect/emitter.h) with columns in the table a statement makes, fills or drops
// in this database: it may leave them texts the two orders disagree on.
unsigned byteGroupsWritten(const Translation& t) {
  if (t.inFile || (t.kind != Translation::Kind::Command && t.kind != Translation::Kind::SelectInto))
    return 0;
  const schema::Table* table = schema::findTable(t.target);
  if (!table) return 0;
  unsigned groups = table->role == schema::TableRole::Record ? dialect::kKeysAsBytes : 0;
  for (const schema::ColumnName& code : schema::kCodeColumns)
    if (base::sameName(code.table, table->name)) groups |= dialect::kCodesAsBytes;
  return groups;
}

bool sameName(std::string_view a, std::string_view b) {
  return dialect::compareIgnoringCase(a, b) == 0;
}

std::string afterPrefix(const std::string& message, std::string_view prefix) {
  return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : "";
}

// A name as the engine quoted it in a message, without its quotes.
std::string unquoted(std::string name) {
  std::erase_if(name, [](char c) { return c == '"' || c == '[' || c == ']' || c == '`'; });
  return name;
}

// What the user reads for an engine failure that is none of the named ones.
std::string engineFailureText(sqlite3* db, int primary) {
  const char* file = sqlite3_db_filename(db, "main");
  const std::string folder = file != nullptr && *file != '\0'
                                 ? " '" + base::folderOf(platform::pathFromUtf8(file)) + "'"
                                 : "";
  switch (primary) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "La base de datos está ocupada por otro programa. Ciérrelo, o espere a que termine, "
             "y vuelva a intentarlo.";
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
      return "El programa no puede escribir su base de datos en la carpeta" + folder +
             ". Compruebe que tiene permiso de escritura en ella y vuelva a intentarlo.";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "Una base de datos de la validación está dañada. Vuelva a elegir el archivo para "
             "que se lea de nuevo.";
    case SQLITE_IOERR:
      return "No se pudo leer o escribir en el disco de la carpeta" + folder +
             ". Compruebe el disco y vuelva a intentarlo.";
    case SQLITE_NOMEM:
      return "No queda memoria libre. Cierre otros programas y vuelva a intentarlo.";
    case SQLITE_TOOBIG:
      return "Un valor es demasiado grande para la base de datos.";
    default:
      return "El motor de base de datos no pudo ejecutar la instrucción.";
  }
}

// The engine's message as the user should read it; the engine's own words are the detail.
[[noreturn]] void raise(sqlite3* db, int code) {
  const std::string message = sqlite3_errmsg(db);
  if (auto table = afterPrefix(message, "no such table: "); !table.empty())
    throw base::Error(base::kErrNoSuchTable,
                      "La tabla '" + table + "' no existe en la base de datos.", message);
  if (auto column = afterPrefix(message, "no such column: "); !column.empty())
    throw base::Error(base::kErrNoSuchColumn,
                      "La columna '" + column + "' no existe en las tablas leídas.", message);
  if (message.starts_with("table ") && message.ends_with(" already exists"))
    throw base::Error(
        base::kErrTableExists,
        "La tabla '" + unquoted(message.substr(6, message.size() - 6 - 15)) + "' ya existe.",
        message);
  // A full disk shows as SQLITE_FULL; a write refused outright (a quota or a file-size limit) as
  // a failed write. Either way the user's remedy is room on the disk.
  const int extended = sqlite3_extended_errcode(db);
  if (extended == SQLITE_FULL || extended == SQLITE_IOERR_WRITE)
    throw base::Error(base::kErrDiskFull,
                      "No quedó espacio en el disco. Libere espacio en el disco y vuelva a "
                      "intentarlo.",
                      message);
  const int number = extended ? extended : code;
  throw base::Error(number, engineFailureText(db, number & 0xFF), message);
}

// Units are validated side by side, each thread on connections of its own. Counting the engine's
// memory, which nothing here reads, takes a lock that every allocation of every thread shares; it
// must be switched off before the engine's first use, hence at start-up.
[[maybe_unused]] const bool kMemoryNotCounted =
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) : db_(db) {
    const int rc =
        sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) raise(db, rc);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) raise(db_, rc);
    return false;
  }
  void run() {
    while (step()) {
    }
  }
  void bind(int index, std::string_view text) {
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  int columnCount() const { return sqlite3_column_count(stmt_); }
  ColumnInfo column(int i) const {
    const char* type = sqlite3_column_decltype(stmt_, i);
    return {sqlite3_column_name(stmt_, i), type ? type : ""};
  }
  base::Value value(int i) const { return columnValue(stmt_, i); }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

void exec(sqlite3* db, const std::string& sql) {
  Statement(db, sql).run();
}

Recordset readAll(sqlite3* db, const std::string& sql) {
  Statement st(db, sql);
  std::vector<ColumnInfo> columns;
  for (int i = 0; i < st.columnCount(); ++i) columns.push_back(st.column(i));
  std::vector<std::vector<base::Value>> rows;
  while (st.step()) {
    std::vector<base::Value> row;
    row.reserve(columns.size());
    for (int i = 0; i < st.columnCount(); ++i) row.push_back(st.value(i));
    rows.push_back(std::move(row));
  }
  return Recordset(std::move(columns), std::move(rows));
}

// `file` as the engine's URI name, "file:///dir/name%20x", followed by `query`: every byte but
// letters, digits and "/-._~" is written %HH, so no character of a path can end the name early.
std::string fileUri(const std::filesystem::path& file, std::string_view query = {}) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  std::string path = platform::utf8(ec ? file : absolute);
  // Only on Windows is a backslash a separator; elsewhere it is written %5C, part of a name.
  if (std::filesystem::path::preferred_separator == '\\')
    std::replace(path.begin(), path.end(), '\\', '/');
  std::string uri = path.starts_with('/') ? "file://" : "file:///";
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        std::string_view("/-._~").find(ch) != std::string_view::npos) {
      uri += ch;
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 0xF];
    }
  }
  return uri + std::string(query);
}

// How a connection names the files it attaches. One opened read-only takes URI names (the only
// way to attach a file read-only): a plain name starting with "file:" would be misread there, so
// every name it attaches is written as a URI.
enum class FileNames { Plain, Uri };

// The schema of a file opened read-only.
constexpr const char* kReadOnlySchema = "kolt_file";

FileNames fileNamesOf(const std::string& fileSchema) {
  return fileSchema == kReadOnlySchema ? FileNames::Uri : FileNames::Plain;
}

void attach(sqlite3* db, const std::filesystem::path& file, const std::string& schema,
            FileNames names, std::string_view uriQuery = {}) {
  Statement st(db, "ATTACH DATABASE ?1 AS " + quoteName(schema));
  st.bind(1, names == FileNames::Uri ? fileUri(file, uriQuery) : platform::utf8(file));
  st.run();
}

// Another database file attached for the length of one statement.
class Attachment {
 public:
  Attachment(sqlite3* db, const std::filesystem::path& file, std::string schema, FileNames names)
      : db_(db), schema_(std::move(schema)) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec))
      throw base::Error(base::kErrFile,
                        "No se encuentra el archivo '" + platform::utf8(file) + "'.");
    attach(db, file, schema_, names);
    // The program writes into another file only to fill a unit's working database, which every
    // run makes anew: waiting for the disk after each statement would buy nothing. The journal
    // stays, in memory, so that a failed statement still leaves no half-made table.
    exec(db, "PRAGMA " + quoteName(schema_) + ".journal_mode = MEMORY");
    exec(db, "PRAGMA " + quoteName(schema_) + ".synchronous = OFF");
  }
  ~Attachment() {
    sqlite3_exec(db_, ("DETACH DATABASE " + quoteName(schema_)).c_str(), nullptr, nullptr, nullptr);
  }
  Attachment(const Attachment&) = delete;
  Attachment& operator=(const Attachment&) = delete;

 private:
  sqlite3* db_;
  std::string schema_;
};

bool tableExists(sqlite3* db, const std::string& schema, std::string_view table) {
  // Names compare as the dialect compares them, which the collation does inside the engine.
  const std::string where =
      ".sqlite_master WHERE type IN ('table', 'view') AND name = ?1 COLLATE " +
      std::string(dialect::kCollation);
  Statement st(db, "SELECT 1 FROM " + quoteName(schema) + where +
                       (schema == "main" ? " UNION ALL SELECT 1 FROM temp" + where : ""));
  st.bind(1, table);
  return st.step();
}

std::string linkSchema(std::string_view name) {
  return "kolt_link_" + std::string(name);
}

}  // namespace

Recordset::Recordset(std::vector<ColumnInfo> columns, std::vector<std::vector<base::Value>> rows)
    : columns_(std::move(columns)), rows_(std::move(rows)) {}

const base::Value& Recordset::field(std::string_view name) const {
  if (eof())
    throw base::Error(base::kErrNoSuchColumn,
                      "No hay una fila actual de la que leer '" + std::string(name) + "'.");
  for (std::size_t i = 0; i < columns_.size(); ++i)
    if (sameName(columns_[i].name, name)) return rows_[position_][i];
  throw base::Error(base::kErrNoSuchColumn,
                    "El resultado no tiene la columna '" + std::string(name) + "'.");
}

// Runs one translated statement on an open handle.
class Connection::Executor {
 public:
  Executor(sqlite3* db, std::int64_t& rowsWritten, ExportSink* sink, FileNames names,
           unsigned byteGroups)
      : db_(db), rowsWritten_(rowsWritten), sink_(sink), names_(names), byteGroups_(byteGroups) {}

  void run(const Translation& t) {
    switch (t.kind) {
      case Translation::Kind::Query:
        exec(db_, sqlToRun(t, byteGroups_));
        break;
      case Translation::Kind::Command:
        exec(db_, sqlToRun(t, byteGroups_));
        rowsWritten_ = sqlite3_changes64(db_);
        break;
      case Translation::Kind::SelectInto:
        selectInto(t);
        break;
      case Translation::Kind::Export:
        exportSheet(t);
        break;
    }
  }

 private:
  void selectInto(const Translation& t) {
    std::optional<Attachment> attachment;
    std::string schema = "main";
    if (t.inFile) {
      schema = "kolt_into";
      attachment.emplace(db_, platform::pathFromUtf8(*t.inFile), schema, names_);
    }
    if (tableExists(db_, schema, t.target))
      throw base::Error(base::kErrTableExists, "La tabla '" + t.target + "' ya existe.");

    // The new table keeps each source column's declared type: dates stay dates and numbers
    // numbers when it is exported or compared later.
    std::string create = "CREATE TABLE " + quoteName(schema) + "." + quoteName(t.target) + " (";
    {
      Statement select(db_, sqlToRun(t, byteGroups_));
      std::set<std::string> used;
      for (int i = 0; i < select.columnCount(); ++i) {
        ColumnInfo c = withComputedType(select.column(i), t, i);
        std::string name = c.name;
        for (int n = 1; !used.insert(upperAscii(name)).second; ++n)
          name = c.name + "_" + std::to_string(n);
        create += (i ? ", " : "") + quoteName(name) +
                  (c.declaredType.empty() ? "" : " " + c.declaredType);
      }
    }
    create += ")";

    exec(db_, "SAVEPOINT kolt_select_into");
    try {
      exec(db_, create);
      exec(db_, "INSERT INTO " + quoteName(schema) + "." + quoteName(t.target) + " " +
                    sqlToRun(t, byteGroups_));
      rowsWritten_ = sqlite3_changes64(db_);
      exec(db_, "RELEASE kolt_select_into");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK TO kolt_select_into; RELEASE kolt_select_into", nullptr, nullptr,
                   nullptr);
      throw;
    }
  }

  void exportSheet(const Translation& t) {
    if (sink_ == nullptr)
      throw base::Error(base::kErrWorkbook,
                        "Esta conexión no puede exportar tablas a libros de cálculo.");
    Statement select(db_, sqlToRun(t, byteGroups_));
    std::vector<ExportColumn> columns;
    for (int i = 0; i < select.columnCount(); ++i) {
      const ColumnInfo c = withComputedType(select.column(i), t, i);
      const ExportKind kind = base::isDateType(c.declaredType)      ? ExportKind::Date
                              : base::isBooleanType(c.declaredType) ? ExportKind::Boolean
                                                                    : ExportKind::Plain;
      columns.push_back({c.name, kind});
    }
    auto rows = [&](std::vector<base::Value>& row) {
      if (!select.step()) return false;
      row.reserve(columns.size());
      for (int i = 0; i < select.columnCount(); ++i) row.push_back(select.value(i));
      return true;
    };
    rowsWritten_ = sink_->write(platform::pathFromUtf8(*t.inFile), t.target, columns, rows);
  }

  // A column the engine declares no type for takes the one the statement gives it.
  static ColumnInfo withComputedType(ColumnInfo c, const Translation& t, int i) {
    const auto at = static_cast<std::size_t>(i);
    if (c.declaredType.empty() && at < t.computedTypes.size()) c.declaredType = t.computedTypes[at];
    return c;
  }

  static std::string upperAscii(std::string s) {
    for (char& c : s)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return s;
  }

  sqlite3* db_;
  std::int64_t& rowsWritten_;
  ExportSink* sink_;
  FileNames names_;
  unsigned byteGroups_;
};

// The deadline of one statement: armed while it runs, so that the time a connection spends idle
// between statements never counts against the next one.
class Connection::Deadline {
 public:
  explicit Deadline(Connection& cnn) : cnn_(cnn) {
    cnn_.interrupted_ = false;
    cnn_.deadline_ = cnn_.timeLimit_.count() > 0
                         ? std::chrono::steady_clock::now() + cnn_.timeLimit_
                         : std::chrono::steady_clock::time_point::max();
  }
  ~Deadline() { cnn_.deadline_ = std::chrono::steady_clock::time_point::max(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  // The statement's failure, said as what happened when it was the limit that ended it.
  [[noreturn]] void rethrow(const base::Error& e) const {
    if (!cnn_.interrupted_) throw e;
    const auto ms = cnn_.timeLimit_.count();
    const std::string limit = ms == 1000       ? std::string("1 segundo")
                              : ms % 1000 == 0 ? std::to_string(ms / 1000) + " segundos"
                                               : std::to_string(ms) + " milisegundos";
    throw base::Error(SQLITE_INTERRUPT,
                      "La instrucción se interrumpió porque pasó del límite de " + limit +
                          ". Revise que cada tabla de la consulta esté unida a las otras por "
                          "una condición (ON o WHERE).");
  }

 private:
  Connection& cnn_;
};

int Connection::mustStop(void* connection) {
  auto& cnn = *static_cast<Connection*>(connection);
  if (cnn.stopRequested_ != nullptr && cnn.stopRequested_->load()) return 1;
  if (cnn.deadline_ == std::chrono::steady_clock::time_point::max() ||
      std::chrono::steady_clock::now() < cnn.deadline_)
    return 0;
  // Once: the rollback that undoes the statement's work must not be interrupted in its turn.
  cnn.deadline_ = std::chrono::steady_clock::time_point::max();
  cnn.interrupted_ = true;
  return 1;
}

// The engine keeps one progress handler per connection: the run's request to stop and the
// statement's limit are both looked at by it, so that setting one never switches the other off.
void Connection::watchProgress() {
  if (!db_) return;
  constexpr int kStepsBetweenLooks = 4000;
  const bool watched = stopRequested_ != nullptr || timeLimit_.count() > 0;
  sqlite3_progress_handler(db_, watched ? kStepsBetweenLooks : 0, watched ? &mustStop : nullptr,
                           this);
}

void Connection::setStatementTimeLimit(std::chrono::milliseconds limit) {
  timeLimit_ = limit;
  // The clock is read every few thousand steps of the engine, and only while a limit is set: the
  // rules without one never read it.
  watchProgress();
}

Connection::~Connection() {
  close();
}

void Connection::open(const std::filesystem::path& file) {
  close();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec))
    throw base::Error(base::kErrFile, "No se encuentra el archivo de base de datos '" +
                                          platform::utf8(file) + "'.");
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(platform::utf8(file).c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) !=
      SQLITE_OK) {
    const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw base::Error(base::kErrFile,
                      "No se puede abrir la base de datos '" + platform::utf8(file) +
                          "'. Compruebe que tiene permiso para leerla y escribirla y que ningún "
                          "otro programa la tiene bloqueada.",
                      message);
  }
  adopt(db, file, "main");
}

void Connection::openReadOnly(const std::filesystem::path& file) {
  close();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec))
    throw base::Error(base::kErrFile, "No se encuentra el archivo de base de datos '" +
                                          platform::utf8(file) + "'.");
  // The engine opens a file read-only only as the whole connection or as an attached URI name
  // with mode=ro. A connection opened read-only could attach nothing writable, and a unit's copy
  // writes into its working database through this one: so the connection's own database is one
  // in memory and the file is attached read-only to it.
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw base::Error(base::kErrFile, "No queda memoria libre para abrir '" + platform::utf8(file) +
                                          "'. Cierre otros programas y vuelva a intentarlo.");
  }
  sqlite3_busy_timeout(db, 5000);  // the attach already reads the file's schema
  try {
    attach(db, file, kReadOnlySchema, FileNames::Uri, "?mode=ro");
  } catch (const base::Error&) {
    const std::string message = sqlite3_errmsg(db);
    const int code = sqlite3_errcode(db);
    sqlite3_close(db);
    if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
      throw base::Error(base::kErrFile,
                        "El archivo '" + platform::utf8(file) +
                            "' no es una base de datos que el programa pueda leer, o está dañado.");
    throw base::Error(base::kErrFile,
                      "No se puede leer la base de datos '" + platform::utf8(file) +
                          "'. Compruebe que tiene permiso para leerla y que ningún otro programa "
                          "la tiene bloqueada.",
                      message);
  }
  adopt(db, file, kReadOnlySchema);
}

DatabaseImage::DatabaseImage(const std::filesystem::path& file) : file_(file) {
  Connection source;
  source.openReadOnly(file);
  // The engine's own in-memory files ("memdb") are the only ones whose pages other connections
  // can be given to read; the name has no leading "/", so no other connection can open it.
  if (sqlite3_open_v2("file:kolt_image?vfs=memdb", &holder_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(holder_);
    throw base::Error(base::kErrFile, "No queda memoria libre para leer '" + platform::utf8(file) +
                                          "'. Cierre otros programas y vuelva a intentarlo.");
  }
  // One step copies every page under one read of the file: a writer cannot slip in between.
  sqlite3_backup* backup = sqlite3_backup_init(holder_, "main", source.handle(), kReadOnlySchema);
  const int copied = backup ? sqlite3_backup_step(backup, -1) : sqlite3_errcode(holder_);
  sqlite3_backup_finish(backup);
  sqlite3_int64 size = 0;
  if (copied == SQLITE_DONE)
    pages_ = sqlite3_serialize(holder_, "main", &size, SQLITE_SERIALIZE_NOCOPY);
  if (pages_ == nullptr) {
    const std::string message = sqlite3_errmsg(copied == SQLITE_DONE ? holder_ : source.handle());
    sqlite3_close(holder_);
    holder_ = nullptr;
    throw base::Error(base::kErrFile,
                      "No se puede leer la base de datos '" + platform::utf8(file) +
                          "'. Compruebe que tiene permiso para leerla, que ningún otro programa "
                          "la tiene bloqueada y que queda memoria libre.",
                      message);
  }
  size_ = size;
}

DatabaseImage::DatabaseImage(std::string_view bytes, const std::filesystem::path& file)
    : file_(file) {
  const auto size = static_cast<sqlite3_int64>(bytes.size());
  auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(bytes.empty() ? 1 : bytes.size()));
  const bool opened = sqlite3_open_v2("file:kolt_image?vfs=memdb", &holder_,
                                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                                      nullptr) == SQLITE_OK;
  bool made = false;
  if (copy != nullptr && opened) {
    std::copy(bytes.begin(), bytes.end(), copy);
    // The holder owns the copy from here on, and frees it even when this fails.
    made = sqlite3_deserialize(holder_, "main", copy, size, size,
                               SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_RESIZEABLE) ==
           SQLITE_OK;
  } else {
    sqlite3_free(copy);
  }
  sqlite3_int64 held = 0;
  if (made && sqlite3_exec(holder_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr,
                           nullptr) == SQLITE_OK)
    pages_ = sqlite3_serialize(holder_, "main", &held, SQLITE_SERIALIZE_NOCOPY);
  if (pages_ == nullptr) {
    sqlite3_close(holder_);
    holder_ = nullptr;
    throw base::Error(base::kErrFile, "Lo leído de '" + platform::utf8(file) +
                                          "' no es una base de datos que el programa pueda usar.");
  }
  size_ = held;
}

DatabaseImage::~DatabaseImage() {
  sqlite3_close(holder_);
}

void DatabaseImage::showIn(sqlite3* db, const std::string& schema) const {
  exec(db, "ATTACH DATABASE ':memory:' AS " + quoteName(schema));
  // Read-only and without a copy: the pages stay the holder's, and every connection reads the
  // same ones.
  const int rc =
      sqlite3_deserialize(db, schema.c_str(), pages_, size_, size_, SQLITE_DESERIALIZE_READONLY);
  if (rc != SQLITE_OK) {
    const std::string message = sqlite3_errmsg(db);
    sqlite3_exec(db, ("DETACH DATABASE " + quoteName(schema)).c_str(), nullptr, nullptr, nullptr);
    throw base::Error(base::kErrFile,
                      "No se puede leer la copia en memoria de '" + platform::utf8(file_) +
                          "'. Cierre otros programas y vuelva a intentarlo.",
                      message);
  }
}

void Connection::openImage(const DatabaseImage& image) {
  close();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_URI,
                      nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw base::Error(base::kErrFile, "No queda memoria libre para abrir '" +
                                          platform::utf8(image.file()) +
                                          "'. Cierre otros programas y vuelva a intentarlo.");
  }
  try {
    image.showIn(db, kReadOnlySchema);
  } catch (...) {
    sqlite3_close(db);
    throw;
  }
  adopt(db, image.file(), kReadOnlySchema);
}

void Connection::openInMemory() {
  close();
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    sqlite3_close(db);
    throw base::Error(base::kErrFile, "No se puede abrir una base de datos en memoria.");
  }
  adopt(db, {}, "main");
}

void Connection::adopt(sqlite3* db, const std::filesystem::path& file, const std::string& schema) {
  // Another connection may be writing (the run's summary while units open theirs): wait for it
  // rather than take a locked file for a damaged one.
  sqlite3_busy_timeout(db, 5000);
  // A file that is not an engine database opens without complaint; the first read tells.
  if (sqlite3_exec(db, ("SELECT count(*) FROM " + quoteName(schema) + ".sqlite_master").c_str(),
                   nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    throw base::Error(base::kErrFile,
                      "El archivo '" + platform::utf8(file) +
                          "' no es una base de datos que el programa pueda leer, o está dañado.");
  }
  // A double-quoted name that matches no column must be an error, never a text constant.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_exec(
      db,
      ("PRAGMA temp_store = MEMORY; PRAGMA " + quoteName(schema) + ".cache_size = -65536").c_str(),
      nullptr, nullptr, nullptr);
  registerDialect(db);
  db_ = db;
  file_ = file;
  fileSchema_ = schema;
  watchProgress();
}

void Connection::setRunStart(const base::DateTime& start) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  dialect::setRunStart(db_, start);
}

void Connection::setScratch() {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  // The journal stays, in memory: a statement that fails or is interrupted after writing pages
  // (an office rule past its limit, a full disk) is rolled back, where without one the file would
  // keep half of it and every later statement of the unit would find it damaged. It costs a copy
  // of each page the statement changes that already held data; the new pages a rule's table
  // fills, nearly all of what is written, need none.
  exec(db_, "PRAGMA journal_mode = MEMORY");
  exec(db_, "PRAGMA synchronous = OFF");
  exec(db_, "PRAGMA main.locking_mode = EXCLUSIVE");
}

void Connection::setReadOnce() {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  exec(db_, "PRAGMA " + quoteName(fileSchema_) + ".cache_size = -4096");
}

void Connection::stopWhen(const std::atomic<bool>* requested) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  // A handler that answers non-zero interrupts the statement, as sqlite3_interrupt does, without a
  // second thread reaching into this connection.
  stopRequested_ = requested;
  watchProgress();
}

void Connection::close() {
  if (db_) sqlite3_close_v2(db_);
  db_ = nullptr;
  byteGroups_ = 0;
  stopRequested_ = nullptr;
  fileSchema_ = "main";
}

void Connection::execute(std::string_view statement) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  rowsWritten_ = 0;
  auto translation = translations().get(statement);
  byteGroups_ &= ~byteGroupsWritten(*translation);
  const Deadline deadline(*this);
  try {
    Executor(db_, rowsWritten_, exportSink_, fileNamesOf(fileSchema_), byteGroups_)
        .run(*translation);
  } catch (const base::Error& e) {
    deadline.rethrow(e);
  }
}

void Connection::executeNative(const std::string& sql) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  exec(db_, sql);
}

Recordset Connection::openRecordset(std::string_view statement) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  auto translation = translations().get(statement);
  if (translation->kind != Translation::Kind::Query)
    throw base::Error(base::kErrSyntax,
                      "Solo una consulta SELECT sin INTO devuelve filas que leer.");
  const Deadline deadline(*this);
  try {
    return readAll(db_, sqlToRun(*translation, byteGroups_));
  } catch (const base::Error& e) {
    deadline.rethrow(e);
  }
}

std::string Connection::queryPlan(std::string_view statement) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  const auto translation = translations().get(statement);
  // A SELECT ... INTO or an export is planned as its select: the table it fills may not exist.
  Statement explain(db_, "EXPLAIN QUERY PLAN " + sqlToRun(*translation, byteGroups_));
  std::map<std::int64_t, int> depth;  // of each step, by its id
  std::string plan;
  while (explain.step()) {
    const auto id = std::get<std::int64_t>(explain.value(0));
    const auto parent = std::get<std::int64_t>(explain.value(1));
    const int level = depth[id] = depth.contains(parent) ? depth[parent] + 1 : 0;
    plan += std::string(2 * static_cast<std::size_t>(level), ' ') +
            std::get<std::string>(explain.value(3)) + '\n';
  }
  return plan;
}

void Connection::link(std::string_view name, const std::filesystem::path& file,
                      std::string_view sourceTable) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec))
    throw base::Error(base::kErrFile, "No se encuentra el archivo '" + platform::utf8(file) + "'.");
  const std::string schema = linkSchema(name);
  attach(db_, file, schema, fileNamesOf(fileSchema_));
  try {
    exec(db_, "CREATE TEMP VIEW " + quoteName(name) + " AS SELECT * FROM " + quoteName(schema) +
                  "." + quoteName(sourceTable));
  } catch (...) {
    sqlite3_exec(db_, ("DETACH DATABASE " + quoteName(schema)).c_str(), nullptr, nullptr, nullptr);
    throw;
  }
}

void Connection::link(std::string_view name, const DatabaseImage& image,
                      std::string_view sourceTable) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  const std::string schema = linkSchema(name);
  image.showIn(db_, schema);
  try {
    exec(db_, "CREATE TEMP VIEW " + quoteName(name) + " AS SELECT * FROM " + quoteName(schema) +
                  "." + quoteName(sourceTable));
  } catch (...) {
    sqlite3_exec(db_, ("DETACH DATABASE " + quoteName(schema)).c_str(), nullptr, nullptr, nullptr);
    throw;
  }
}

void Connection::unlink(std::string_view name) {
  if (!db_) throw base::Error(base::kErrNotOpen, "La conexión con la base de datos está cerrada.");
  exec(db_, "DROP VIEW temp." + quoteName(name));
  exec(db_, "DETACH DATABASE " + quoteName(linkSchema(name)));
}

namespace {

std::string cannotCreateText(const std::filesystem::path& file, const std::error_code& reason) {
  if (reason == std::errc::file_exists)
    return "El archivo '" + platform::utf8(file) + "' ya existe.";
  return "No se puede crear la base de datos " + platform::utf8(file.filename()) +
         " en la carpeta '" + base::folderOf(file) + "'" + base::becauseOf(reason) +
         ". Compruebe que tiene permiso de escritura en ella y que hay espacio libre en el disco.";
}

}  // namespace

void Connection::createDatabase(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
    throw base::Error(base::kErrFile, "El archivo '" + platform::utf8(file) + "' ya existe.");
  // Made here, new, before the engine opens it: a link put in its place meanwhile is refused
  // rather than followed. The engine's own refusal of links would refuse a link anywhere in the
  // path, and a results folder reached through a linked folder is an ordinary thing.
  if (!platform::File::createNew(file, ec).isOpen())
    throw base::Error(base::kErrFile, cannotCreateText(file, ec),
                      base::detailOf(file, ec.message()));
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(platform::utf8(file).c_str(), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  // An empty SQLite file is written only with its first table; write the header now so the file
  // exists with its real size at once.
  const bool ok = rc == SQLITE_OK && sqlite3_exec(db, "PRAGMA user_version = 0; VACUUM", nullptr,
                                                  nullptr, nullptr) == SQLITE_OK;
  const std::string message = db ? sqlite3_errmsg(db) : "out of memory";
  const int extended = db ? sqlite3_extended_errcode(db) : SQLITE_NOMEM;
  sqlite3_close(db);
  if (!ok) {
    std::filesystem::remove(file, ec);
    const bool full = extended == SQLITE_FULL || extended == SQLITE_IOERR_WRITE;
    throw base::Error(
        full ? base::kErrDiskFull : base::kErrFile,
        cannotCreateText(
            file, full ? std::make_error_code(std::errc::no_space_on_device) : std::error_code()),
        base::detailOf(file, message));
  }
}

void registerDialect(sqlite3* db) {
  dialect::registerFunctions(db);
}

}  // namespace kolt::engine
