#include "access_writer/engine_export.h"

#include <sqlite3.h>

#include <memory>

#include "access_writer/column_choice.h"
#include "access_writer/jet_writer.h"
#include "base/error.h"
#include "base/platform/paths.h"
#include "base/quoting.h"
#include "base/replace_file.h"
#include "base/value.h"
#include "engine/sqlite_value.h"

namespace kolt::access_writer {
namespace {

namespace fs = std::filesystem;

std::string quoted(const std::string& name) {
  return "\"" + base::doubledQuotes(name, '"') + "\"";
}

class EngineReader {
 public:
  explicit EngineReader(const fs::path& file) : file_(file) {
    if (!fs::exists(file))
      throw base::Error(base::kErrFile, "No se encuentra el archivo " + platform::utf8(file) +
                                            ". Compruebe la ruta de la base de datos de origen.");
    if (sqlite3_open_v2(platform::utf8(file).c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK) {
      const std::string message = db_ ? sqlite3_errmsg(db_) : "sin memoria";
      sqlite3_close(db_);
      db_ = nullptr;
      throw base::Error(base::kErrFile,
                        "No se puede abrir " + platform::utf8(file) + ": " + message);
    }
  }
  ~EngineReader() { sqlite3_close(db_); }
  EngineReader(const EngineReader&) = delete;
  EngineReader& operator=(const EngineReader&) = delete;

  // Runs `sql` and hands each row to `onRow` as values. The statement is finalized whatever
  // `onRow` throws, so the database always closes.
  template <typename OnRow>
  void query(const std::string& sql, OnRow&& onRow) {
    sqlite3_stmt* raw = nullptr;
    const int prepared = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    if (prepared != SQLITE_OK) fail();
    const int columns = sqlite3_column_count(raw);
    std::vector<base::Value> row(static_cast<std::size_t>(columns));
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      for (int i = 0; i < columns; ++i)
        row[static_cast<std::size_t>(i)] = engine::columnValue(raw, i);
      onRow(row);
    }
    if (rc != SQLITE_DONE) fail();
  }

 private:
  [[noreturn]] void fail() const {
    throw base::Error(sqlite3_extended_errcode(db_),
                      "Al leer " + platform::utf8(file_) + ": " + sqlite3_errmsg(db_));
  }

  fs::path file_;
  sqlite3* db_ = nullptr;
};

std::string literal(const std::string& text) {
  return "'" + base::doubledQuotes(text) + "'";
}

struct SourceColumn {
  std::string name, declaredType;
};

std::vector<std::string> tableNames(EngineReader& engine, const std::vector<std::string>& wanted) {
  std::vector<std::string> all;
  engine.query(
      "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
      "ESCAPE '\\' ORDER BY rowid",
      [&](const std::vector<base::Value>& row) { all.push_back(std::get<std::string>(row[0])); });
  if (wanted.empty()) return all;
  std::vector<std::string> chosen;
  for (const std::string& name : wanted) {
    std::string found;
    engine.query(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name = " + literal(name) +
            " COLLATE NOCASE",
        [&](const std::vector<base::Value>& row) { found = std::get<std::string>(row[0]); });
    if (found.empty())
      throw base::Error(base::kErrNoSuchTable,
                        "La base de datos de origen no tiene la tabla " + name + ".");
    chosen.push_back(found);
  }
  return chosen;
}

std::vector<SourceColumn> columnsOf(EngineReader& engine, const std::string& table) {
  std::vector<SourceColumn> columns;
  engine.query("PRAGMA table_info(" + quoted(table) + ")",
               [&](const std::vector<base::Value>& row) {
                 const auto* type = std::get_if<std::string>(&row[2]);
                 columns.push_back({std::get<std::string>(row[1]), type ? *type : std::string()});
               });
  return columns;
}

}  // namespace

std::vector<ExportedTable> exportToAccess(const fs::path& engineFile, const fs::path& accessFile,
                                          const std::vector<std::string>& tables) {
  EngineReader engine(engineFile);
  const std::vector<std::string> names = tableNames(engine, tables);
  const fs::path temporary = platform::pathFromUtf8(platform::utf8(accessFile) + ".tmp");
  std::vector<ExportedTable> exported;
  const std::error_code renamed = base::replaceFile(temporary, accessFile, [&] {
    JetWriter writer(temporary);
    for (const std::string& name : names) {
      const auto source = columnsOf(engine, name);
      std::string select = "SELECT ";
      for (std::size_t i = 0; i < source.size(); ++i)
        select += (i ? ", " : "") + quoted(source[i].name);
      select += " FROM " + quoted(name);

      std::vector<ColumnSurvey> surveys(source.size());
      engine.query(select, [&](const std::vector<base::Value>& row) {
        for (std::size_t i = 0; i < row.size(); ++i) surveys[i].see(row[i]);
      });
      std::vector<JetColumn> columns;
      try {
        for (std::size_t i = 0; i < source.size(); ++i)
          columns.push_back(surveys[i].choose(source[i].name, source[i].declaredType));
      } catch (const base::Error& e) {
        throw base::Error(e.number(), "Tabla " + name + ": " + e.description());
      }
      writer.beginTable(name, columns);
      ExportedTable done{name, 0};
      engine.query(select, [&](const std::vector<base::Value>& row) {
        writer.insert(row);
        ++done.rows;
      });
      exported.push_back(done);
    }
    writer.finish();
  });
  if (renamed)
    throw base::Error(base::kErrFile, "No se puede poner el archivo en " +
                                          platform::utf8(accessFile) + " (" + renamed.message() +
                                          ").");
  return exported;
}

}  // namespace kolt::access_writer
