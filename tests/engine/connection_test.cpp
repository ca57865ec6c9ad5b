// A connection opened read-only, the statement time limit, and the unit index.
#include "engine/connection.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "base/platform/paths.h"
#include "base/quoting.h"
#include "engine/dialect/translation.h"
#include "engine/unit_index.h"
#include "support/paths.h"

namespace kolt::engine {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

long count(Connection& cnn, const std::string& table) {
  return cnn.openRecordset("SELECT * FROM " + table).recordCount();
}

// The file is never written, whatever its name, while the connection's own tables and the files it
// writes into work as on any connection.
TEST(ReadOnlyConnection, NeverWritesTheFileWhateverItsName) {
  // Names that a URI would misread unless written out: its separators, its escape, a scheme.
  for (const std::string name : {"origen.db", "con blancos.db", "100%.db", "a?mode=rw.db", "a#b.db",
                                 "o'brien.db", "señal.db", "file:x.db"}) {
    SCOPED_TRACE(name);
#ifdef _WIN32
    // No Windows file name holds these.
    if (name.find_first_of("?:") != std::string::npos) continue;
#endif
    test::TempDir dir;
    const fs::path file = dir.path() / platform::pathFromUtf8(name);
    {
      Connection maker;
      Connection::createDatabase(file);
      maker.open(file);
      maker.executeNative("CREATE TABLE EGRESO (CLUES TEXT)");
      maker.executeNative("INSERT INTO EGRESO VALUES ('DFSSA000001'), ('DFSSA000002')");
      // An earlier run's unit list, left in the file.
      maker.executeNative("CREATE TABLE CLUESSEL (CLUES TEXT)");
      maker.executeNative("INSERT INTO CLUESSEL VALUES ('A'), ('B'), ('C')");
    }
    const std::string before = test::fileText(file);
    const fs::path working = dir.path() / platform::pathFromUtf8("trabajo " + name);
    Connection::createDatabase(working);

    Connection cnn;
    cnn.openReadOnly(file);
    EXPECT_EQ(count(cnn, "EGRESO"), 2);
    EXPECT_THROW(cnn.execute("INSERT INTO EGRESO (CLUES) SELECT 'X'"), base::Error);
    EXPECT_THROW(cnn.execute("Drop Table EGRESO"), base::Error);
    // Made in the connection's memory, not in the file.
    EXPECT_NO_THROW(cnn.execute("CREATE TABLE OTRA (A TEXT)"));
    // A table of the connection's own may take a name of the file's, and is then the one read.
    cnn.execute("SELECT CLUES INTO CLUESSEL FROM EGRESO WHERE CLUES = 'DFSSA000002'");
    EXPECT_EQ(count(cnn, "CLUESSEL"), 1);
    // What the connection copies into another file lands there.
    cnn.execute("SELECT * INTO COPIA IN '" + base::doubledQuotes(working.string()) +
                "' FROM CLUESSEL");
    EXPECT_EQ(cnn.rowsWritten(), 1);
    cnn.close();

    EXPECT_TRUE(test::fileText(file) == before) << "the file was written";
    Connection check;
    check.open(working);
    EXPECT_EQ(count(check, "COPIA"), 1);
  }
}

TEST(ReadOnlyConnection, RefusesWhatIsNoDatabaseAsOpenDoes) {
  test::TempDir dir;
  std::ofstream(dir / "texto.db") << "esto no es una base de datos, aunque se llame así";
  for (const fs::path& file : {dir / "texto.db", dir / "no-existe.db"}) {
    SCOPED_TRACE(file.string());
    Connection cnn;
    try {
      cnn.openReadOnly(file);
      ADD_FAILURE() << "opened";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), base::kErrFile);
      EXPECT_NE(e.description().find(file.string()), std::string::npos) << e.description();
    }
    EXPECT_FALSE(cnn.isOpen());
  }
}

// A statement that would run for hours is interrupted, leaves nothing half made, and the connection
// goes on; the time between statements is not counted.

TEST(StatementLimit, AStatementPastItsLimitFailsLeavesNoTableAndNoneFailsOnceItIsOff) {
  Connection cnn;
  cnn.openInMemory();
  cnn.executeNative(
      "CREATE TABLE t AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
      "WHERE x < 400) SELECT x FROM n");
  cnn.setStatementTimeLimit(200ms);
  std::this_thread::sleep_for(300ms);  // idle: each statement has the whole limit
  cnn.execute("SELECT x INTO r FROM t");
  // Four copies of t crossed: 400^4 rows to look at, far beyond the limit; as a query and as a
  // SELECT INTO, which must be undone.
  for (const bool query : {true, false}) {
    SCOPED_TRACE(query ? "openRecordset" : "execute");
    try {
      if (query)
        cnn.openRecordset("SELECT count(*) FROM t a, t b, t c, t d");
      else
        cnn.execute("SELECT a.x INTO s FROM t a, t b, t c, t d WHERE a.x + b.x + c.x + d.x < 0");
      ADD_FAILURE() << "not interrupted";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), SQLITE_INTERRUPT);
      EXPECT_NE(e.description().find("límite de 200 milisegundos"), std::string::npos)
          << e.description();
    }
  }
  EXPECT_THROW(cnn.openRecordset("SELECT * FROM s"), base::Error);
  cnn.setStatementTimeLimit(0ms);
  cnn.execute("SELECT a.x INTO s FROM t AS a, t AS b WHERE a.x + b.x + 0.5 = a.x * b.x");
  EXPECT_EQ(cnn.openRecordset("SELECT * FROM s").rows().size(), 0u);
}

// A working database (scratch, its pages partly reused from dropped tables, a cache small enough
// that a long statement writes pages to the file before it ends) whose statement is stopped after
// writing rows: the statement is undone and the database is whole for the statements after it.
// The stop comes at a chosen row, set by the rows' own feed, so the test never depends on time.
std::atomic<bool>* stopFlag(sqlite3_context* context) {
  return static_cast<std::atomic<bool>*>(sqlite3_user_data(context));
}

TEST(ScratchDatabase, AStatementStoppedAfterWritingRowsLeavesTheDatabaseAsItWas) {
  // A statement making its table, and one adding rows to a table that holds some.
  for (const std::string statement :
       {"SELECT x, y INTO nueva FROM feed", "INSERT INTO previa SELECT x, y FROM feed"}) {
    SCOPED_TRACE(statement);
    test::TempDir dir;
    const fs::path file = dir.path() / "Val.db";
    Connection::createDatabase(file);
    Connection cnn;
    cnn.open(file);
    cnn.setScratch();
    std::atomic<bool> stop{false};
    cnn.stopWhen(&stop);
    sqlite3_create_function(
        cnn.handle(), "stop_at_feed", 1, SQLITE_UTF8, &stop,
        [](sqlite3_context* context, int, sqlite3_value** args) {
          if (sqlite3_value_int64(args[0]) == 30000) stopFlag(context)->store(true);
          sqlite3_result_int(context, 0);
        },
        nullptr, nullptr);
    cnn.executeNative(
        "CREATE TABLE numeros AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
        "WHERE x < 200000) SELECT x, printf('%0100d', x) AS y FROM n");
    cnn.executeNative("CREATE INDEX numeros_y ON numeros (y)");
    cnn.executeNative("CREATE TABLE previa AS SELECT * FROM numeros WHERE x <= 60000");
    cnn.executeNative("DROP TABLE numeros");  // its pages are free, to be reused
    cnn.executeNative("CREATE TABLE otra (a INTEGER)");
    cnn.execute("INSERT INTO otra (a) VALUES (7)");
    cnn.executeNative(
        "CREATE TEMP VIEW feed AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
        "WHERE x < 500000) SELECT x, printf('%0100d', x) AS y FROM n WHERE stop_at_feed(x) = 0");
    cnn.executeNative("PRAGMA cache_size = 20");

    try {
      cnn.execute(statement);
      ADD_FAILURE() << "not stopped";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), SQLITE_INTERRUPT) << e.what();
    }
    stop = false;
    sqlite3_stmt* check = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(cnn.handle(), "PRAGMA integrity_check", -1, &check, nullptr),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_step(check), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(check, 0)), "ok");
    sqlite3_finalize(check);
    EXPECT_THROW(cnn.openRecordset("SELECT * FROM nueva"), base::Error);
    EXPECT_EQ(count(cnn, "previa"), 60000);
    // The statements after it run as on a database nothing happened to.
    cnn.execute("SELECT a INTO despues FROM otra");
    cnn.execute("INSERT INTO despues SELECT a FROM otra");
    EXPECT_EQ(count(cnn, "despues"), 2);
    cnn.execute("SELECT x INTO nueva FROM previa WHERE x <= 10");
    EXPECT_EQ(count(cnn, "nueva"), 10);
  }
}

// The run's request to stop and a statement's limit share the engine's one progress handler:
// setting or lifting a limit (as the frame does around every rule) keeps the request heeded.
TEST(ScratchDatabase, TheRunsRequestToStopIsHeededAfterALimitIsLifted) {
  Connection cnn;
  cnn.openInMemory();
  std::atomic<bool> stop{true};
  cnn.stopWhen(&stop);
  cnn.executeNative(
      "CREATE TABLE t AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
      "WHERE x < 60) SELECT x FROM n");
  cnn.setStatementTimeLimit(60000ms);
  cnn.setStatementTimeLimit(0ms);
  try {
    // Some thirteen million rows to look at: seconds to run through unless stopped.
    cnn.openRecordset("SELECT count(*) FROM t a, t b, t c, t d");
    ADD_FAILURE() << "not stopped";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.number(), SQLITE_INTERRUPT) << e.what();
  }
}

// The unit index serves the copy statements' comparison, so copying a unit reads only its rows.
std::string queryPlan(Connection& cnn, std::string_view statement) {
  const std::string sql = "EXPLAIN QUERY PLAN " + translate(statement).sql;
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(cnn.handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  std::string plan;
  while (sqlite3_step(stmt) == SQLITE_ROW)
    plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)) + std::string("\n");
  sqlite3_finalize(stmt);
  return plan;
}

TEST(UnitIndex, CopyOfOneUnitUsesTheIndexAndStillIgnoresLetterCase) {
  test::TempDir dir;
  Connection::createDatabase(dir / "origen.db");
  Connection cnn;
  cnn.open(dir / "origen.db");
  cnn.execute("CREATE TABLE EGRESO (clues TEXT, egreso DATETIME)");
  cnn.execute("CREATE TABLE OBSTET (folio TEXT)");  // no clues column: left alone
  cnn.execute("INSERT INTO EGRESO (clues, egreso) VALUES ('DFSSA000001', #2023/03/15#)");
  cnn.execute("INSERT INTO EGRESO (clues, egreso) VALUES ('dfssa000001', #2023/03/16#)");
  cnn.execute("INSERT INTO EGRESO (clues, egreso) VALUES ('DFSSA000002', #2023/03/16#)");

  const std::string copy =
      "SELECT * INTO EGRESO IN 'x.db' FROM EGRESO  WHERE  clues = 'DFSSA000001' AND "
      "CDATE(egreso) >= #2023/03/01#";
  EXPECT_EQ(queryPlan(cnn, copy).find("INDEX"), std::string::npos);

  EXPECT_EQ(indexForTextLookups(cnn, {"EGRESO", "OBSTET", "DEFUNC"}, "clues"),
            std::vector<std::string>{"EGRESO"});
  EXPECT_NE(queryPlan(cnn, copy).find("USING INDEX kolt_EGRESO_clues"), std::string::npos);
  EXPECT_EQ(cnn.openRecordset("SELECT * FROM EGRESO WHERE clues = 'Dfssa000001'").recordCount(), 2);
  // Made once: a second call finds it and changes nothing.
  EXPECT_EQ(indexForTextLookups(cnn, {"EGRESO"}, "clues"), std::vector<std::string>{"EGRESO"});
}

}  // namespace
}  // namespace kolt::engine
