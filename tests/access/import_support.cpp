#include "access/import_support.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <stdexcept>

#include "access/bulk_loader.h"
#include "access/companion.h"
#include "base/platform/paths.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

class Reader {
 public:
  explicit Reader(const std::filesystem::path& file) {
    if (sqlite3_open_v2(platform::utf8(file).c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
      throw std::runtime_error("cannot open " + file.string());
  }
  ~Reader() { sqlite3_close_v2(db_); }
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
      throw std::runtime_error(sqlite3_errmsg(db_));
    return s;
  }

 private:
  sqlite3* db_ = nullptr;
};

std::string text(sqlite3_stmt* s, int column) {
  const auto* p = sqlite3_column_text(s, column);
  return p != nullptr ? reinterpret_cast<const char*>(p) : "";
}

}  // namespace

std::filesystem::path importerPath() {
  return platform::executableIn(binaryDir() / "bin", "kolt-importar");
}

std::filesystem::path sample(const std::string& name) {
  return accessFixturesDir() / name;
}

std::filesystem::path sharedSample(const std::string& name) {
  const auto file = accessSamplesDir() / name;
  std::error_code ec;
  return std::filesystem::is_regular_file(file, ec) ? file : std::filesystem::path{};
}

std::vector<unsigned char> readFixture(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("test input missing or unreadable: " + file.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

access::ImportOptions importOptions() {
  access::ImportOptions options;
  options.importer = importerPath();
  return options;
}

std::vector<std::string> tableNames(const std::filesystem::path& database) {
  Reader db(database);
  sqlite3_stmt* s = db.prepare("SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
  std::vector<std::string> names;
  while (sqlite3_step(s) == SQLITE_ROW)
    if (text(s, 0) != access::kCompanionOriginTable) names.push_back(text(s, 0));
  sqlite3_finalize(s);
  return names;
}

std::vector<ColumnDecl> columnsOf(const std::filesystem::path& database, const std::string& table) {
  Reader db(database);
  sqlite3_stmt* s = db.prepare("SELECT name, type FROM pragma_table_info(?1) ORDER BY cid");
  sqlite3_bind_text(s, 1, table.c_str(), -1, SQLITE_TRANSIENT);
  std::vector<ColumnDecl> columns;
  while (sqlite3_step(s) == SQLITE_ROW) columns.push_back({text(s, 0), text(s, 1)});
  sqlite3_finalize(s);
  return columns;
}

std::vector<std::vector<base::Value>> rowsOf(const std::filesystem::path& database,
                                             const std::string& table) {
  Reader db(database);
  sqlite3_stmt* s =
      db.prepare("SELECT * FROM " + access::quoteIdentifier(table) + " ORDER BY rowid");
  std::vector<std::vector<base::Value>> rows;
  while (sqlite3_step(s) == SQLITE_ROW) {
    std::vector<base::Value> row;
    for (int i = 0; i < sqlite3_column_count(s); ++i) {
      switch (sqlite3_column_type(s, i)) {
        case SQLITE_NULL:
          row.emplace_back(std::monostate{});
          break;
        case SQLITE_INTEGER:
          row.emplace_back(std::int64_t{sqlite3_column_int64(s, i)});
          break;
        case SQLITE_FLOAT:
          row.emplace_back(sqlite3_column_double(s, i));
          break;
        case SQLITE_TEXT:
          row.emplace_back(text(s, i));
          break;
        default: {
          const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s, i));
          row.emplace_back(base::Blob{{p, p + sqlite3_column_bytes(s, i)}});
        }
      }
    }
    rows.push_back(std::move(row));
  }
  sqlite3_finalize(s);
  return rows;
}

std::vector<std::string> folderListing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string hexOf(const std::string& text) {
  std::string out;
  char buffer[3];
  for (unsigned char c : text) {
    std::snprintf(buffer, sizeof buffer, "%02x", c);
    out += buffer;
  }
  return out;
}

}  // namespace kolt::test
