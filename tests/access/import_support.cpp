#include "access/import_support.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <fstream>
#include <iomanip>
#include <sstream>
#include <stdexcept>

#include "access/bulk_loader.h"
#include "access/companion.h"
#include "base/platform/paths.h"
#include "engine/sqlite_value.h"
#include "support/paths.h"

namespace kolt::test {

std::filesystem::path sample(const std::string& name) {
  return accessFixturesDir() / name;
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

Rows query(const std::filesystem::path& database, const std::string& sql) {
  sqlite3* db = nullptr;
  sqlite3_stmt* s = nullptr;
  Rows rows;
  int status = sqlite3_open(platform::utf8(database).c_str(), &db);
  if (status == SQLITE_OK) status = sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr);
  while (status == SQLITE_OK && (status = sqlite3_step(s)) == SQLITE_ROW) {
    status = SQLITE_OK;
    auto& row = rows.emplace_back();
    for (int i = 0; i < sqlite3_column_count(s); ++i) row.push_back(engine::columnValue(s, i));
  }
  const std::string error = status == SQLITE_DONE ? "" : sqlite3_errmsg(db);
  sqlite3_finalize(s);
  sqlite3_close_v2(db);
  if (!error.empty()) throw std::runtime_error(database.string() + ": " + error);
  return rows;
}

std::vector<std::string> tableNames(const std::filesystem::path& database) {
  const std::string sql = "SELECT name FROM sqlite_master WHERE type='table' AND name <> '" +
                          std::string(access::kCompanionOriginTable) + "' ORDER BY rowid";
  std::vector<std::string> names;
  for (const auto& row : query(database, sql)) names.push_back(std::get<std::string>(row[0]));
  return names;
}

Rows rowsOf(const std::filesystem::path& database, const std::string& table) {
  return query(database, "SELECT * FROM " + access::quoteIdentifier(table) + " ORDER BY rowid");
}

std::vector<std::string> folderListing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

void expectError(const std::function<void()>& call, long number, const std::string& words) {
  try {
    call();
    ADD_FAILURE() << "no error";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.number(), number) << e.what();
    EXPECT_NE(e.description().find(words), std::string::npos) << e.what();
  }
}

std::string hexOf(const std::string& text) {
  std::ostringstream out;
  for (unsigned char c : text) out << std::hex << std::setw(2) << std::setfill('0') << int{c};
  return out.str();
}

}  // namespace kolt::test
