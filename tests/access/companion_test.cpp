// The companion database: built once beside the Access file, reused while the file is unchanged,
// rebuilt when it changes, put in the results folder when the file's folder cannot be written.
#include "access/companion.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <thread>
#include <tuple>

#include "access/import_support.h"
#include "base/platform/file_lock.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"
#include "support/linux_tools.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

void setModified(const fs::path& file, std::time_t seconds) {
  fs::last_write_time(
      file, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(seconds)));
}

// Which file of the disk a path names now: a companion built again is a new file.
std::uint64_t inodeOf(const fs::path& file) {
  return platform::fileStamp(file)->inode;
}

class Companion : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy_file(sample("testV2010.accdb"), source_);
    setModified(source_, 1'600'000'000);
  }
  fs::path open(const access::ImportOptions& options = importOptions()) {
    return access::openSourceCompanion(source_, results_.path(), options);
  }

  TempDir folder_;
  TempDir results_;
  fs::path source_ = folder_ / "EGRESOS.accdb";
  const Names alone_{"EGRESOS.accdb", "EGRESOS.accdb.kolt.db"};
  const Names tables_{"Table1", "Table2", "Table3", "Table4"};
};

TEST_F(Companion, IsFinishedBuiltBesideTheFileReusedAndRebuiltWhenTheFileOrTheTablesChange) {
  // Temporaries of a killed import go, with their journals; those of a live process stay.
  const auto alive = "EGRESOS.accdb.kolt.db.tmp-" + std::to_string(platform::processId()) + "-9";
  for (const char* dead : {"", "-journal"})
    std::ofstream(folder_ / ("EGRESOS.accdb.kolt.db.tmp-999999999-1" + std::string(dead))) << "x";
  std::ofstream(folder_ / alive) << "half";
  const Names beside{"EGRESOS.accdb", "EGRESOS.accdb.kolt.db", alive};
  // Everything a companion will hold is in it before it gets its name.
  auto finishing = importOptions();
  const auto companion = folder_ / "EGRESOS.accdb.kolt.db";
  bool namedWhileFinishing = true;
  finishing.finish = [&](const fs::path& database) {
    namedWhileFinishing = fs::exists(companion);
    query(database, "CREATE TABLE terminada (x)");
  };
  EXPECT_EQ(open(finishing), companion);
  EXPECT_FALSE(namedWhileFinishing);
  EXPECT_EQ(tableNames(companion), (Names{"Table1", "Table2", "Table3", "Table4", "terminada"}));
  // What the program adds to the source database lives in the companion and must survive reuse.
  query(companion, "CREATE TABLE CLUESSEL (CLUES TEXT)");
  EXPECT_EQ(open(), companion);
  EXPECT_EQ(tableNames(companion).back(), "CLUESSEL");
  EXPECT_EQ(folderListing(folder_.path()), beside);

  setModified(source_, 1'700'000'000);  // saved again, same bytes
  EXPECT_EQ(open(), companion);
  EXPECT_EQ(tableNames(companion), tables_);

  // Replaced by another database of the same name.
  fs::copy_file(sample("test2V2003.mdb"), source_, fs::copy_options::overwrite_existing);
  EXPECT_EQ(open(), companion);
  EXPECT_EQ(tableNames(companion), Names{"MSP_PROJECTS"});

  // Rebuilt when other tables are asked for (named without regard to case), and again when all are.
  auto options = importOptions();
  options.tables = {"table1"};
  fs::copy_file(sample("testV2010.accdb"), source_, fs::copy_options::overwrite_existing);
  EXPECT_EQ(open(options), companion);
  EXPECT_EQ(tableNames(companion), Names{"Table1"});
  EXPECT_EQ(open(), companion);
  EXPECT_EQ(tableNames(companion), tables_);

  // A finish that fails gives up the build: nothing is named, nothing stays; nor does a build
  // that fails because the file is no longer a database leave anything half made.
  setModified(source_, 1'750'000'000);
  finishing.finish = [](const fs::path&) { throw base::Error(base::kErrDiskFull, "sin espacio"); };
  fs::remove(companion);
  EXPECT_THROW(open(finishing), base::Error);
  EXPECT_EQ(folderListing(folder_.path()), (Names{"EGRESOS.accdb", alive}));
  EXPECT_NO_THROW(open());
  std::ofstream(source_, std::ios::trunc) << "ya no es una base de datos";
  EXPECT_THROW(open(), base::Error);
  EXPECT_EQ(folderListing(folder_.path()), beside);

  // An engine database is used as it is.
  const auto native = folder_ / "EGRESOS.db";
  query(native, "CREATE TABLE EGRESO (folio TEXT)");
  EXPECT_EQ(access::openSourceCompanion(native, results_.path(), importOptions()), native);
}

// The indexes a companion is finished with are in the text order of the program that made them;
// searched in another order they miss rows. A companion finished under another order, or made
// before companions recorded theirs, is built again; one of this order is used as it is.
TEST_F(Companion, OneFinishedUnderAnotherTextOrderIsBuiltAgain) {
  auto options = importOptions();
  options.finish = [](const fs::path& database) { query(database, "CREATE TABLE terminada (x)"); };
  options.finishVersion = "KOLT 2";
  const auto companion = open(options);
  const auto kept = [&] {
    const Names names = tableNames(companion);
    return std::find(names.begin(), names.end(), "CLUESSEL") != names.end();
  };
  query(companion, "CREATE TABLE CLUESSEL (CLUES TEXT)");
  EXPECT_EQ(open(options), companion);
  EXPECT_TRUE(kept());

  query(companion,
        std::string("UPDATE ") + access::kCompanionOriginTable + " SET formato = 'KOLT 1'");
  EXPECT_EQ(open(options), companion);
  EXPECT_FALSE(kept());
  EXPECT_EQ(tableNames(companion), (Names{"Table1", "Table2", "Table3", "Table4", "terminada"}));

  query(companion, "CREATE TABLE CLUESSEL (CLUES TEXT)");
  query(companion,
        std::string("ALTER TABLE ") + access::kCompanionOriginTable + " DROP COLUMN formato");
  EXPECT_EQ(open(options), companion);
  EXPECT_FALSE(kept());
  EXPECT_EQ(query(companion, std::string("SELECT formato FROM ") + access::kCompanionOriginTable),
            (Rows{{std::string("KOLT 2")}}));
}

TEST_F(Companion, GoesToTheResultsFolderWhenTheFileFolderIsReadOnly) {
  NoWriting readOnly({folder_.path()});
  if (!readOnly.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
  EXPECT_EQ(open(), results_ / "EGRESOS.accdb.kolt.db");
  EXPECT_EQ(open(), results_ / "EGRESOS.accdb.kolt.db");
  EXPECT_EQ(folderListing(folder_.path()), Names{"EGRESOS.accdb"});
}

// The journal a write into `database` leaves when it is killed halfway: taken from a transaction
// that is then rolled back, so the database itself stays as it was.
void leaveHotJournal(const fs::path& database) {
  const fs::path journal = database.string() + "-journal", kept = database.string() + "-kept";
  sqlite3* db = nullptr;
  sqlite3_open(platform::utf8(database).c_str(), &db);
  const int status =
      sqlite3_exec(db,
                   "PRAGMA cache_size = 1; BEGIN; CREATE TABLE relleno (x); WITH RECURSIVE n(i) AS "
                   "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 20000) INSERT INTO relleno "
                   "SELECT randomblob(200) FROM n; DELETE FROM Table1;",
                   nullptr, nullptr, nullptr);
  ASSERT_TRUE(status == SQLITE_OK && fs::exists(journal)) << sqlite3_errmsg(db);
  fs::copy_file(journal, kept);
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  fs::rename(kept, journal);
}

// The engine's header kept, the pages after it overwritten.
void overwritePages(const fs::path& database) {
  std::fstream file(database, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(100);
  file << std::string(4000, '\x5a');
}

// A companion the engine finds damaged, or beside which a kill while it was being written left its
// journal, is built again, saying so; whether it is then replaced (its file changed) or looks
// current, the journal must never be played into a companion.
TEST_F(Companion, ADamagedCompanionOrAJournalLeftBesideItNeverDamagesTheNextOne) {
  for (const auto& [name, damage, sourceChanged] :
       {std::tuple{"journal, companion replaced", &leaveHotJournal, true},
        {"journal, companion current", leaveHotJournal, false},
        {"pages overwritten", overwritePages, false}}) {
    SCOPED_TRACE(name);
    const auto companion = open();
    damage(companion);
    if (sourceChanged) setModified(source_, 1'650'000'000);
    Names notes;
    auto options = importOptions();
    options.note = [&](const std::string& line) { notes.push_back(line); };
    EXPECT_EQ(open(options), companion);
    EXPECT_EQ(query(companion, "PRAGMA integrity_check"), Rows{{std::string("ok")}});
    EXPECT_EQ(tableNames(companion), tables_);
    EXPECT_FALSE(rowsOf(companion, "Table1").empty());
    EXPECT_EQ(folderListing(folder_.path()), alone_);
    if (!sourceChanged) {
      ASSERT_EQ(notes.size(), 1u);
      EXPECT_NE(notes[0].find(companion.string() + " estaba dañada"), std::string::npos)
          << notes[0];
    }
  }
}

// A file replaced by a copy that kept its size, its time and its first page (cp -p, rsync, an
// unzip), or rewritten in place and its time set back, is another file: its companion is built
// again.
TEST_F(Companion, AFileReplacedKeepingSizeTimeAndFirstPageIsImportedAgain) {
  KOLT_NEEDS_LINUX_TOOL(PosixFiles);
  for (const bool inPlace : {false, true}) {
    SCOPED_TRACE(inPlace ? "rewritten in place" : "replaced by a copy");
    const auto companion = open();
    const auto before = inodeOf(companion);
    auto bytes = readFixture(source_);
    bytes[bytes.size() - 10] ^= 1;  // deep inside, far from the first page
    const auto written = inPlace ? source_ : folder_ / "copia.tmp";
    writeFile(written, bytes);
    setModified(written, 1'600'000'000);
    if (!inPlace) fs::rename(written, source_);
    EXPECT_EQ(open(), companion);
    EXPECT_NE(inodeOf(companion), before) << "the old companion was taken for the new file";
    EXPECT_EQ(open(), companion);
  }
}

// One build at a time: a run that finds another building the companion waits, says so, and then
// uses what the other built instead of building over it.
TEST_F(Companion, ARunWaitsForAnotherBuildingTheCompanionAndUsesIt) {
  const auto companion = open();
  const auto built = folder_ / "construida.db";
  fs::rename(companion, built);
  const auto inode = inodeOf(built);

  auto holder = platform::waitForLock(folder_ / "EGRESOS.accdb.kolt.db.lock", {});
  ASSERT_EQ(holder.state(), platform::ExclusiveLock::State::Held);
  std::atomic<bool> waiting{false};
  fs::path used;
  std::thread second([&] {
    auto options = importOptions();
    options.progress = [&](const access::ImportProgress& p) {
      if (!p.waiting.empty()) waiting = true;
    };
    used = open(options);
  });
  for (int i = 0; i < 500 && !waiting; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(waiting) << "the second run did not wait";
  fs::rename(built, companion);  // the first run's build gets its name
  holder = platform::ExclusiveLock();
  second.join();
  EXPECT_EQ(used, companion);
  EXPECT_EQ(inodeOf(companion), inode) << "the second run built over the first one's companion";
  EXPECT_EQ(folderListing(folder_.path()), alone_);
}

// A build killed after its companion got its name leaves the lock's file: the next run that reuses
// the companion clears it, unless a build under way holds it.
TEST_F(Companion, ALockFileLeftByAKilledBuildGoesWithTheNextReuse) {
  const auto companion = open();
  const fs::path lockFile = folder_ / "EGRESOS.accdb.kolt.db.lock";
  std::ofstream(lockFile) << "";
  EXPECT_EQ(open(), companion);
  EXPECT_EQ(folderListing(folder_.path()), alone_);

  const auto holder = platform::waitForLock(lockFile, {});
  ASSERT_EQ(holder.state(), platform::ExclusiveLock::State::Held);
  EXPECT_EQ(open(), companion);
  EXPECT_TRUE(fs::exists(lockFile)) << "a held lock was taken away";
}

// A file rewritten while it is read (a copy still under way, a save) is told as such, never as a
// damaged file, and leaves nothing behind: whatever the reading made of it, and whether the file is
// imported on its own or for its companion. The file changes as the first table begins.
TEST_F(Companion, AFileRewrittenWhileItIsReadIsToldToBeReadAgainNotCalledDamaged) {
  const auto whole = readFixture(source_);
  using Rewrite = std::function<void(const fs::path&)>;
  const std::vector<std::pair<std::string, Rewrite>> rewrites = {
      {"a copy begun again", [](const fs::path& file) { writeFile(file, {}); }},
      {"a copy half written",
       [&](const fs::path& file) {
         writeFile(file, {whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)});
       }},
      {"saved again", [&](const fs::path& file) {
         writeFile(file, whole);
         setModified(file, 1'650'000'000);
       }}};
  for (const auto& [name, rewrite] : rewrites) {
    for (const bool alone : {true, false}) {
      SCOPED_TRACE(name + (alone ? ", imported alone" : ", for its companion"));
      writeFile(source_, whole);
      setModified(source_, 1'600'000'000);
      auto options = importOptions();
      bool rewritten = false;
      options.progress = [&](const access::ImportProgress& p) {
        if (p.tableIndex == 1 && !rewritten) {
          rewrite(source_);
          rewritten = true;
        }
      };
      TempDir out;
      expectError(
          [&] {
            if (alone)
              access::importAccess(source_, out / "out.db", options);
            else
              open(options);
          },
          base::kErrFile, "cambió mientras se leía");
      EXPECT_TRUE(rewritten);
      EXPECT_EQ(folderListing(folder_.path()), Names{"EGRESOS.accdb"});
      EXPECT_TRUE(folderListing(out.path()).empty());
    }
  }
}

// Only the tables asked for are imported, in the order asked, named without regard to case, and
// the progress follows them; a table that is not there is an error that leaves nothing behind.
TEST(Import, NamedTablesOnlyAndTheirProgress) {
  TempDir dir;
  auto options = importOptions();
  options.tables = {"table14", "Table11"};
  std::vector<access::ImportProgress> events;
  options.progress = [&](const access::ImportProgress& p) { events.push_back(p); };
  access::importAccess(sample("testIndexCodesV1997.mdb"), dir / "out.db", options);
  EXPECT_EQ(tableNames(dir / "out.db"), (Names{"Table14", "Table11"}));
  EXPECT_EQ(rowsOf(dir / "out.db", "Table14").size(), 256u);
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.front().format, "JET3");
  EXPECT_EQ(events.front().tableCount, 2);
  EXPECT_TRUE(events.back().finished);
  EXPECT_EQ(events.back().rows, 256 + 52);
  Names tables;
  for (std::size_t i = 1; i < events.size(); ++i) {
    EXPECT_GE(events[i].rows, events[i - 1].rows);
    if (events[i].tableIndex != events[i - 1].tableIndex) tables.push_back(events[i].table);
  }
  EXPECT_EQ(tables, (Names{"Table14", "Table11"}));

  options.tables = {"Table14", "EGRESO"};
  expectError(
      [&] { access::importAccess(sample("testIndexCodesV1997.mdb"), dir / "x.db", options); },
      base::kErrNoSuchTable, "EGRESO");
  EXPECT_EQ(folderListing(dir.path()), Names{"out.db"});
}

}  // namespace
}  // namespace kolt::test
