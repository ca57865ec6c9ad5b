// The companion database: built once beside the Access file, reused while the file is unchanged,
// rebuilt when it changes, put in the results folder when the file's folder cannot be written.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <fstream>

#include "access/companion.h"
#include "access/import_support.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

void execute(const std::filesystem::path& database, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(database.c_str(), &db), SQLITE_OK);
  EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
      << sqlite3_errmsg(db);
  sqlite3_close(db);
}

bool hasTable(const std::filesystem::path& database, const std::string& name) {
  const auto names = tableNames(database);
  return std::find(names.begin(), names.end(), name) != names.end();
}

void setModified(const std::filesystem::path& file, std::time_t seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class Companion : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(sample("testV2010.accdb"), source_);
    setModified(source_, 1'600'000'000);
  }
  std::filesystem::path open() {
    return access::openSourceCompanion(source_, results_.path(), importOptions());
  }

  TempDir folder_;
  TempDir results_;
  std::filesystem::path source_ = folder_ / "EGRESOS.accdb";
};

TEST_F(Companion, IsBuiltBesideTheAccessFileReusedAndRebuiltWhenTheFileChanges) {
  const auto companion = open();
  EXPECT_EQ(companion, folder_ / "EGRESOS.accdb.kolt.db");
  EXPECT_EQ(tableNames(companion),
            (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));
  // What the program adds to the source database lives in the companion and must survive reuse.
  execute(companion, "CREATE TABLE CLUESSEL (CLUES TEXT)");
  EXPECT_EQ(open(), companion);
  EXPECT_TRUE(hasTable(companion, "CLUESSEL"));
  EXPECT_EQ(folderListing(folder_.path()),
            (std::vector<std::string>{"EGRESOS.accdb", "EGRESOS.accdb.kolt.db"}));

  setModified(source_, 1'700'000'000);  // saved again, same bytes
  EXPECT_EQ(open(), companion);
  EXPECT_FALSE(hasTable(companion, "CLUESSEL"));

  // Replaced by another database of the same name.
  std::filesystem::copy_file(sample("test2V2003.mdb"), source_,
                             std::filesystem::copy_options::overwrite_existing);
  EXPECT_EQ(open(), companion);
  EXPECT_TRUE(hasTable(companion, "MSP_PROJECTS"));
  EXPECT_FALSE(hasTable(companion, "Table1"));
}

TEST_F(Companion, TemporariesOfAKilledImportAreRemovedByTheNextOne) {
  const auto dead = folder_ / "EGRESOS.accdb.kolt.db.tmp-999999999-1";  // no such process
  const auto alive = folder_ / ("EGRESOS.accdb.kolt.db.tmp-" + std::to_string(::getpid()) + "-9");
  for (const auto& file : {dead, alive, folder_ / "EGRESOS.accdb.kolt.db.tmp-999999999-1-journal"})
    std::ofstream(file) << "half";
  open();
  EXPECT_EQ(folderListing(folder_.path()),
            (std::vector<std::string>{"EGRESOS.accdb", "EGRESOS.accdb.kolt.db",
                                      alive.filename().string()}));
}

TEST_F(Companion, IsRebuiltWhenOtherTablesAreAskedFor) {
  auto options = importOptions();
  options.tables = {"Table1"};
  const auto companion = access::openSourceCompanion(source_, results_.path(), options);
  EXPECT_EQ(tableNames(companion), std::vector<std::string>{"Table1"});
  EXPECT_EQ(open(), companion);
  EXPECT_EQ(tableNames(companion).size(), 4u);
}

TEST_F(Companion, FailedRebuildLeavesNothingHalfMade) {
  open();
  std::ofstream(source_, std::ios::trunc) << "ya no es una base de datos";
  EXPECT_THROW(open(), base::Error);
  EXPECT_EQ(folderListing(folder_.path()),
            (std::vector<std::string>{"EGRESOS.accdb", "EGRESOS.accdb.kolt.db"}));
}

TEST_F(Companion, GoesToTheResultsFolderWhenTheFileFolderIsReadOnly) {
  ::chmod(folder_.path().c_str(), 0555);
  const bool immutable =
      std::system(("chattr +i '" + folder_.path().string() + "' 2>/dev/null").c_str()) == 0;
  const bool writable = std::ofstream(folder_ / "probe").good();
  if (writable) {
    std::filesystem::remove(folder_ / "probe");
    ::chmod(folder_.path().c_str(), 0755);
    GTEST_SKIP() << "cannot make a folder read-only here";
  }
  const auto companion = open();
  const auto again = open();
  if (immutable) std::system(("chattr -i '" + folder_.path().string() + "'").c_str());
  ::chmod(folder_.path().c_str(), 0755);
  EXPECT_EQ(companion, results_ / "EGRESOS.accdb.kolt.db");
  EXPECT_EQ(again, companion);
  EXPECT_EQ(folderListing(folder_.path()), std::vector<std::string>{"EGRESOS.accdb"});
}

TEST_F(Companion, EngineDatabaseIsUsedDirectly) {
  const auto native = folder_ / "EGRESOS.db";
  execute(native, "CREATE TABLE EGRESO (folio TEXT)");
  EXPECT_EQ(access::openSourceCompanion(native, results_.path(), importOptions()), native);
}

TEST(ImportProgressReport, FollowsTablesAndRows) {
  TempDir dir;
  auto options = importOptions();
  std::vector<access::ImportProgress> events;
  options.progress = [&](const access::ImportProgress& p) { events.push_back(p); };
  access::importAccess(sample("testIndexCodesV1997.mdb"), dir / "out.db", options);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().format, "JET3");
  EXPECT_EQ(events.front().tableCount, 29);
  EXPECT_TRUE(events.back().finished);
  EXPECT_EQ(events.back().rows, 1536);
  std::vector<std::string> tables;
  for (std::size_t i = 1; i < events.size(); ++i) {
    EXPECT_GE(events[i].rows, events[i - 1].rows);
    if (events[i].tableIndex != events[i - 1].tableIndex) tables.push_back(events[i].table);
  }
  EXPECT_EQ(tables.size(), 29u);
  EXPECT_EQ(tables.front(), "Table1");
}

TEST(NamedTables, OnlyThoseAreImported) {
  TempDir dir;
  auto options = importOptions();
  options.tables = {"table14", "Table11"};
  access::importAccess(sample("testIndexCodesV1997.mdb"), dir / "out.db", options);
  EXPECT_EQ(tableNames(dir / "out.db"), (std::vector<std::string>{"Table14", "Table11"}));
  EXPECT_EQ(rowsOf(dir / "out.db", "Table14").size(), 256u);

  options.tables = {"Table14", "EGRESO"};
  try {
    access::importAccess(sample("testIndexCodesV1997.mdb"), dir / "missing.db", options);
    ADD_FAILURE() << "a missing table was not reported";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.number(), base::kErrNoSuchTable);
    EXPECT_NE(e.description().find("EGRESO"), std::string::npos);
  }
  EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"out.db"});
}

}  // namespace
}  // namespace kolt::test
