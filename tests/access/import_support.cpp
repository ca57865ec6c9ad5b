#include "access/import_support.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "access/bulk_loader.h"
#include "access/companion.h"
#include "base/platform/paths.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

// Runs `sql` (its one parameter bound to `bound`) on `database` opened read-only; `row` sees each
// result row.
void query(const std::filesystem::path& database, const std::string& sql, const std::string& bound,
           const std::function<void(sqlite3_stmt*)>& row) {
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  if (sqlite3_open_v2(platform::utf8(database).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
          SQLITE_OK ||
      sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
    const std::string error = sqlite3_errmsg(db);
    sqlite3_close_v2(db);
    throw std::runtime_error(database.string() + ": " + error);
  }
  sqlite3_bind_text(s, 1, bound.c_str(), -1, SQLITE_TRANSIENT);
  while (sqlite3_step(s) == SQLITE_ROW) row(s);
  sqlite3_finalize(s);
  sqlite3_close_v2(db);
}

std::string text(sqlite3_stmt* s, int column) {
  const auto* p = sqlite3_column_text(s, column);
  return p != nullptr ? reinterpret_cast<const char*>(p) : "";
}

base::Value valueOf(sqlite3_stmt* s, int i) {
  switch (sqlite3_column_type(s, i)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
      return std::int64_t{sqlite3_column_int64(s, i)};
    case SQLITE_FLOAT:
      return sqlite3_column_double(s, i);
    case SQLITE_TEXT:
      return text(s, i);
  }
  const auto* p = static_cast<const unsigned char*>(sqlite3_column_blob(s, i));
  return base::Blob{{p, p + sqlite3_column_bytes(s, i)}};
}

}  // namespace

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

void writeFile(const std::filesystem::path& file, const std::vector<unsigned char>& bytes) {
  std::ofstream(file, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

access::ImportOptions importOptions() {
  access::ImportOptions options;
  options.importer = platform::executableIn(binaryDir() / "bin", "kolt-importar");
  return options;
}

std::vector<std::string> tableNames(const std::filesystem::path& database) {
  std::vector<std::string> names;
  query(database, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid", "",
        [&](sqlite3_stmt* s) {
          if (text(s, 0) != access::kCompanionOriginTable) names.push_back(text(s, 0));
        });
  return names;
}

std::vector<std::pair<std::string, std::string>> columnsOf(const std::filesystem::path& database,
                                                           const std::string& table) {
  std::vector<std::pair<std::string, std::string>> columns;
  query(database, "SELECT name, type FROM pragma_table_info(?1) ORDER BY cid", table,
        [&](sqlite3_stmt* s) { columns.emplace_back(text(s, 0), text(s, 1)); });
  return columns;
}

std::vector<std::vector<base::Value>> rowsOf(const std::filesystem::path& database,
                                             const std::string& table) {
  std::vector<std::vector<base::Value>> rows;
  query(database, "SELECT * FROM " + access::quoteIdentifier(table) + " ORDER BY rowid", "",
        [&](sqlite3_stmt* s) {
          rows.emplace_back();
          for (int i = 0; i < sqlite3_column_count(s); ++i) rows.back().push_back(valueOf(s, i));
        });
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
  std::ostringstream out;
  for (unsigned char c : text) out << std::hex << std::setw(2) << std::setfill('0') << int{c};
  return out.str();
}

}  // namespace kolt::test
