// The Access-dialect statements the program runs, executed on small tables.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <cctype>

#include "engine/connection.h"
#include "engine/dialect/function_table.h"
#include "engine/dialect/functions.h"
#include "engine/dialect/translation.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::engine {
namespace {

class Dialect : public ::testing::Test {
 protected:
  void SetUp() override {
    Connection::createDatabase(dir.path() / "w.db");
    cnn.open(dir.path() / "w.db");
  }

  void run(std::string_view sql) { cnn.execute(sql); }

  // The rows of a query as one text: fields separated by '|', rows by ';', NULL as "NULL".
  std::string rows(std::string_view sql) {
    const Recordset rs = cnn.openRecordset(sql);
    std::string out;
    for (const auto& row : rs.rows()) {
      if (&row != &rs.rows().front()) out += ";";
      for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + test::text(row[i]);
    }
    return out;
  }

  // The description of the error a statement is refused with; empty when it runs.
  std::string refusal(std::string_view sql) {
    try {
      cnn.execute(sql);
    } catch (const base::Error& e) {
      return e.description();
    }
    return {};
  }

  long errorOf(std::string_view sql) {
    try {
      cnn.execute(sql);
    } catch (const base::Error& e) {
      return e.number();
    }
    return 0;
  }

  // Three discharges of one unit, its code written in both cases.
  void discharges() {
    run("CREATE TABLE EGRESO(folio char(8) NULL, clues char(11) NULL, egreso datetime NULL)");
    run("INSERT INTO EGRESO VALUES ('1','DFSSA000001',#2013/03/05#), "
        "('2','DFSSA000001',#2013/03/06#), ('3','dfssa000001','2013-03-07 10:30:00')");
  }

  test::TempDir dir;
  Connection cnn;
};

// "Name(n, n, ...)" with `count` arguments, the name in capitals as the rules often write it.
std::string callOf(const dialect::AccessFunction& f, int count) {
  std::string call;
  for (char c : f.name) call += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  call += "(";
  for (int i = 0; i < count; ++i) call += i ? ", n" : "n";
  return call + ")";
}

// Every function runs with each number of arguments its row allows, so what the emitter lets
// through is registered under that count; any other count is refused before SQLite, naming the
// function and what it takes.
TEST_F(Dialect, EachFunctionRunsWithTheArgumentsItsRowAllowsAndRefusesOthers) {
  run("CREATE TABLE T(n integer NULL)");
  run("INSERT INTO T VALUES (1)");
  for (const auto& f : dialect::accessFunctions()) {
    for (int count = f.minArgs; count <= f.maxArgs; ++count)
      EXPECT_NO_THROW(rows("select " + callOf(f, count) + " from T")) << callOf(f, count);
    for (int count : {f.minArgs - 1, f.maxArgs + 1}) {
      if (count < 0) continue;
      const std::string refused = refusal("select " + callOf(f, count) + " from T");
      EXPECT_NE(refused.find("función '" + std::string(f.name) + "'"), std::string::npos)
          << refused;
      EXPECT_NE(refused.find(", no " + std::to_string(count) + "."), std::string::npos) << refused;
    }
  }
  EXPECT_NE(refusal("select mid(n) from T").find("admite 2 o 3 argumentos, no 1."),
            std::string::npos);
  EXPECT_NE(refusal("select left(n, n, n) from T").find("admite 2 argumentos, no 3."),
            std::string::npos);
  EXPECT_NE(refusal("select Len(*) from T").find("'Len'"), std::string::npos);
}

// On a bare connection, so that only the registration answers: an implementation takes exactly
// its row's counts, and a built-in the table maps onto exists with those counts.
TEST(FunctionTable, RegistrationFollowsTheRows) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(":memory:", &db), SQLITE_OK);
  dialect::registerFunctions(db);
  auto prepares = [&](const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    const bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK;
    sqlite3_finalize(st);
    return ok;
  };
  auto call = [](std::string_view name, int count) {
    std::string sql = "SELECT " + std::string(name) + "(";
    for (int i = 0; i < count; ++i) sql += i ? ", 1" : "1";
    return sql + ")";
  };
  for (const auto& f : dialect::accessFunctions()) {
    if (f.engine.empty()) continue;
    for (int count = f.minArgs; count <= f.maxArgs; ++count)
      EXPECT_TRUE(prepares(call(f.engine, count))) << call(f.engine, count);
    if (!f.implementation) continue;
    EXPECT_FALSE(prepares(call(f.engine, f.minArgs - 1))) << call(f.engine, f.minArgs - 1);
    EXPECT_FALSE(prepares(call(f.engine, f.maxArgs + 1))) << call(f.engine, f.maxArgs + 1);
  }
  sqlite3_close(db);
}

TEST_F(Dialect, SelectIntoAnotherDatabaseFile) {
  discharges();
  Connection::createDatabase(dir.path() / "V it's.db");
  const std::string path = (dir.path() / "V it''s.db").string();
  run("SELECT * INTO EGRESO IN '" + path +
      "' FROM EGRESO  WHERE  clues = 'DFSSA000001' AND "
      "CDATE(egreso) >= #2013/03/06#");
  Connection other;
  other.open(dir.path() / "V it's.db");
  EXPECT_EQ(other.openRecordset("select * from egreso").recordCount(), 2);
  EXPECT_EQ(other.openRecordset("select egreso from egreso").columns()[0].declaredType, "DATETIME");
  EXPECT_EQ(
      errorOf("SELECT * INTO EGRESO IN '" + (dir.path() / "absent.db").string() + "' FROM EGRESO"),
      base::kErrFile);
}

TEST_F(Dialect, LinkedTableReadsTheOtherFilesCurrentRows) {
  Connection::createDatabase(dir.path() / "cat.db");
  Connection catalogue;
  catalogue.open(dir.path() / "cat.db");
  catalogue.execute("CREATE TABLE Folio(certificado char(9) NULL)");
  catalogue.execute("INSERT INTO Folio VALUES ('A1')");
  cnn.link("Folio", dir.path() / "cat.db", "Folio");
  catalogue.execute("INSERT INTO Folio VALUES ('a2')");
  EXPECT_EQ(rows("select count(*) from folio where certificado IN ('a1','A2')"), "2");
  cnn.unlink("Folio");
  EXPECT_EQ(errorOf("select * into X from Folio"), base::kErrNoSuchTable);
}

TEST_F(Dialect, RecordsetReadsFieldsByNameWithoutRegardToCase) {
  discharges();
  Recordset rs = cnn.openRecordset("SELECT CLUES,count(*) AS n From EGRESO GROUP BY clues");
  EXPECT_EQ(rs.recordCount(), 1);
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(std::get<std::int64_t>(rs.field("N")), 3);
  EXPECT_THROW(rs.field("descunidad"), base::Error);
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
}

TEST_F(Dialect, RejectedTextsSayWhere) {
  for (const char* sql : {"selec * from x", "select * from", "select 'open from x",
                          "select * from x where a = #2013/02/30#", "select [a from x"}) {
    try {
      cnn.execute(sql);
      ADD_FAILURE() << sql;
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), base::kErrSyntax) << sql;
      EXPECT_NE(e.description().find("posición"), std::string::npos) << e.description();
    }
  }
}

// A national run names each of hundreds of units' files once; the rules' texts come back for all.
TEST(TranslationCache, StaysBoundedAndKeepsTheTextsInUse) {
  TranslationCache cache;
  const std::string rule = "SELECT a FROM t WHERE b = 1";
  const auto first = cache.get(rule);
  for (int i = 0; i < 5000; ++i) {
    cache.get("SELECT a FROM t WHERE b = " + std::to_string(i + 2));
    if (i % 100 == 0) {
      EXPECT_EQ(cache.get(rule), first);
    }
  }
  EXPECT_LE(cache.size(), 2 * TranslationCache::kGeneration);
}

TEST(CaseFolding, LatinGreekAndCyrillicLettersFoldAndOrderStays) {
  using dialect::compareIgnoringCase;
  EXPECT_EQ(compareIgnoringCase("ÑANDÚ", "ñandú"), 0);
  EXPECT_EQ(compareIgnoringCase("ŁÓDŹ", "łódź"), 0);
  EXPECT_EQ(compareIgnoringCase("ΑΒΓ", "αβγ"), 0);
  EXPECT_EQ(compareIgnoringCase("ЖУК", "жук"), 0);
  EXPECT_NE(compareIgnoringCase("a", "á"), 0);
  EXPECT_LT(compareIgnoringCase("A00", "a09"), 0);
  EXPECT_LT(compareIgnoringCase("abc", "ABCD"), 0);
  EXPECT_GT(compareIgnoringCase("b", "A"), 0);
  // Past a long shared prefix, inside a character, and with a lead byte cut short.
  EXPECT_EQ(compareIgnoringCase("DFSSA000170 2023-12-28 Ñ", "DFSSA000170 2023-12-28 ñ"), 0);
  EXPECT_EQ(compareIgnoringCase("2023-12-28 00:00:00", "2023-12-28 00:00:00"), 0);
  EXPECT_LT(compareIgnoringCase("2023-12-28 00:00:00", "2023-12-28 00:00:01"), 0);
  EXPECT_EQ(compareIgnoringCase("xxxxxxxxÁ", "xxxxxxxxá"), 0);
  EXPECT_GT(compareIgnoringCase("ÁÉÍÓÚÑ b", "áéíóúñ A"), 0);
  EXPECT_GT(compareIgnoringCase("x\xC3", "x\xC3\xA1"), 0);  // Ã after á
  EXPECT_LT(compareIgnoringCase("\xC3\xC3\xA1", "\xC3\xC3\xA2"), 0);
}

}  // namespace
}  // namespace kolt::engine
