// An Access source's companion as every run builds it (sourceImportOptions): finished under its
// temporary name without a journal on disk, it must still be whole and sound when named, with each
// record table indexed on its unit, and leave nothing else beside the source.
#include "run/session.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "access/companion.h"
#include "access/import_support.h"
#include "base/platform/files.h"
#include "support/paths.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The first column of every row `sql` gives on the open connection.
Names column(engine::Connection& cnn, const std::string& sql) {
  Names values;
  sqlite3_stmt* statement = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(cnn.handle(), sql.c_str(), -1, &statement, nullptr), SQLITE_OK)
      << sqlite3_errmsg(cnn.handle());
  while (statement != nullptr && sqlite3_step(statement) == SQLITE_ROW)
    values.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
  sqlite3_finalize(statement);
  return values;
}

TEST(SourceCompanion, IsWholeAndSoundWithEveryRecordTableIndexedOnItsUnit) {
  test::TempDir dir;
  std::string out;
  ASSERT_EQ(
      test::runProgram("kolt-generar",
                       {(dir / "origen.mdb").string(), "--egresos", "400", "--unidades", "3"}, out),
      0)
      << out;
  const fs::path companion = access::openSourceCompanion(
      dir / "origen.mdb", dir / "R", sourceImportOptions(test::importOptions()));
  EXPECT_EQ(companion, dir / "origen.mdb.kolt.db");
  EXPECT_EQ(test::folderListing(dir.path()), (Names{"origen.mdb", "origen.mdb.kolt.db"}));

  engine::Connection cnn;  // with the dialect's text order, which the indexes are made in
  cnn.open(companion);
  // Every index entry matches its row, and every page is where the file says.
  EXPECT_EQ(column(cnn, "PRAGMA integrity_check"), Names{"ok"});
  EXPECT_EQ(column(cnn, "SELECT name FROM sqlite_master WHERE type = 'index' ORDER BY name"),
            (Names{"kolt_AFECCIONES_clues", "kolt_DEFUNC_clues", "kolt_EGRESO_clues",
                   "kolt_OBSTET_clues", "kolt_PROCEDIMIENTOS_clues", "kolt_PRODUCTOS_clues"}));
  // Reused as it is by the next run.
  const auto inode = platform::fileStamp(companion)->inode;
  EXPECT_EQ(access::openSourceCompanion(dir / "origen.mdb", dir / "R",
                                        sourceImportOptions(test::importOptions())),
            companion);
  EXPECT_EQ(platform::fileStamp(companion)->inode, inode);
}

}  // namespace
}  // namespace kolt::run
