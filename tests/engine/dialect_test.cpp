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

  // A table's columns as "name:declared type", separated by ','.
  std::string columns(std::string_view table) {
    const Recordset rs = cnn.openRecordset("select * from " + std::string(table));
    std::string out;
    for (const auto& c : rs.columns())
      out += (out.empty() ? "" : ",") + c.name + ":" + c.declaredType;
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

  // A discharge table and a child table keyed by (folio, clues, egreso).
  void discharges() {
    run("CREATE TABLE EGRESO(cedocve char(2) NULL, folio char(8) NULL, clues char(11) NULL, "
        "egreso datetime NULL, sexo char(1) NULL, edad integer NULL, afecprin char(4) NULL)");
    run("CREATE TABLE AFECCIONES(folio char(8) NULL, clues char(11) NULL, egreso datetime NULL, "
        "afec char(4) NULL)");
    run("INSERT INTO EGRESO VALUES ('09','1','DFSSA000001',#2013/03/05#,'1',30,'Z301'), "
        "('09','2','DFSSA000001',#2013/03/06#,'2',25,'o800'), "
        "('09','3','dfssa000001','2013-03-07 10:30:00','2',NULL,NULL)");
    run("INSERT INTO AFECCIONES VALUES ('1','dfssa000001',#2013/03/05#,'A001'), "
        "('1','DFSSA000001',#2013/03/09#,'B002'), ('3','DFSSA000001','2013-03-07 "
        "10:30:00','z302')");
  }

  test::TempDir dir;
  Connection cnn;
};

TEST_F(Dialect, SelectIntoNamesColumnsWithoutAliasesAndKeepsDeclaredTypes) {
  discharges();
  run("select e.cedocve,e.folio,e.egreso,count(*) as numproducto,[e].edad, e.sexo AS "
      "[Notificación Diaria] Into  Z301 from egreso as e GROUP BY e.cedocve,e.folio,e.egreso,"
      "e.edad,e.sexo");
  EXPECT_EQ(columns("Z301"),
            "cedocve:char(2),folio:char(8),egreso:DATETIME,numproducto:,edad:INTEGER,Notificación "
            "Diaria:char(1)");
  EXPECT_EQ(rows("select folio, egreso from z301 order by folio"),
            "1|2013-03-05 00:00:00;2|2013-03-06 00:00:00;3|2013-03-07 10:30:00");
  EXPECT_EQ(cnn.rowsWritten(), 3);
  // A column keeps the letter case the statement gives it.
  run("select e.Folio, SEXO into T3 from egreso as e");
  EXPECT_EQ(columns("T3"), "Folio:char(8),SEXO:char(1)");
  // An unnamed expression is named as the Access engine names it.
  run("select len(folio) into T2 from egreso");
  EXPECT_EQ(columns("T2"), "Expr1000:");
}

TEST_F(Dialect, SelectIntoFailsWithoutLeavingAnything) {
  discharges();
  run("select folio into Z from egreso");
  EXPECT_EQ(errorOf("select folio into z from egreso"), base::kErrTableExists);
  EXPECT_EQ(rows("select count(*) from Z"), "3");
  // A select that cannot run creates no table, so the rule's later inserts fail too.
  EXPECT_EQ(errorOf("select nocolumn into Y from egreso"), base::kErrNoSuchColumn);
  EXPECT_EQ(errorOf("select * from Y"), base::kErrNoSuchTable);
  EXPECT_EQ(errorOf("select folio into Y from egreso where kolt_missing(folio)=1"),
            base::kErrSyntax);
  EXPECT_EQ(errorOf("select * from Y"), base::kErrNoSuchTable);
}

TEST_F(Dialect, TableNamesBeginningWithDigitsStandAsWritten) {
  discharges();
  run("select e.cedocve,e.folio,e.clues,e.egreso Into  697X from egreso as e WHERE e.sexo='1'");
  run("select e.folio,e.clues,e.egreso Into  74 from egreso as e WHERE e.sexo='2'");
  run("select cedocve,folio,clues,egreso Into  Z301697X from 697X ");
  run("Insert into Z301697X select cedocve,folio,clues,egreso from 697X ");
  EXPECT_EQ(rows("select count(*) from Z301697X"), "2");
  EXPECT_EQ(rows("select e.folio,o.folio from egreso as e left join 74 as o on e.folio=o.folio "
                 "and e.clues=o.clues and e.egreso=o.egreso WHERE o.folio IS NOT NULL"),
            "2|2;3|3");
  run("Drop Table 74");
  run("Drop Table 697X");
  EXPECT_EQ(errorOf("Drop Table 74"), base::kErrNoSuchTable);
}

TEST_F(Dialect, TextComparisonsJoinsAndGroupsIgnoreLetterCase) {
  discharges();
  // Joined on clues written in both cases, alias named in another case (B for b); the child row
  // of folio 1 dated another day belongs to no discharge.
  EXPECT_EQ(rows("select e.folio,b.afec from Egreso AS e left JOIN afecciones as b ON "
                 "e.folio=b.folio and e.clues=b.clues and e.egreso=B.egreso ORDER BY e.folio"),
            "1|A001;2|NULL;3|z302");
  EXPECT_EQ(rows("select folio from egreso where afecprin='O800'"), "2");
  EXPECT_EQ(rows("select folio from egreso where trim(afecprin)='z301'"), "1");
  EXPECT_EQ(rows("select folio from egreso where LEFT(afecprin,3) BETWEEN 'O80' AND 'o84'"), "2");
  EXPECT_EQ(rows("select afec from afecciones where afec IN ('Z302','b002') ORDER BY afec"),
            "B002;z302");
  EXPECT_EQ(rows("select count(*) from (select clues from egreso GROUP BY clues)"), "1");
  EXPECT_EQ(
      rows("select count(*) as n from afecciones where afec IN (select afecprin from egreso)"),
      "0");
  EXPECT_EQ(
      rows("select count(*) from egreso where clues > 'DFSSA000000' and clues < 'dfssa000002'"),
      "3");
}

TEST_F(Dialect, NullPassesNeitherInNorNotIn) {
  discharges();
  EXPECT_EQ(rows("select folio from egreso where afecprin NOT IN ('Z301') ORDER BY folio"), "2");
  EXPECT_EQ(rows("select folio from egreso where afecprin IN ('Z301','O800') ORDER BY folio"),
            "1;2");
  EXPECT_EQ(rows("select folio from egreso where edad<>30 or edad=30 ORDER BY folio"), "1;2");
  EXPECT_EQ(rows("select folio from egreso where afecprin IS NULL OR trim(afecprin)=''"), "3");
}

TEST_F(Dialect, FunctionsBehaveAsTheAccessEngineDoes) {
  run("CREATE TABLE T(s char(20) NULL, n integer NULL)");
  run("INSERT INTO T VALUES ('  ñandú  ', 5), ('028', NULL), ('12A', -3), ('', 0), (NULL, 40000)");
  EXPECT_EQ(rows("select trim(s), len(trim(s)), len(s), LEFT(trim(s),3), RIGHT(trim(s),2), "
                 "LEFT(trim(s),50) from T where n=5"),
            "ñandú|5|9|ñan|dú|ñandú");
  EXPECT_EQ(rows("select val(s) from T"), "0;28;12;0;NULL");
  EXPECT_EQ(rows("select CInt(s), CInt(n), IIf(n>0,'pos','no') from T"),
            "NULL|5|pos;28|NULL|no;NULL|-3|no;NULL|0|no;NULL|NULL|pos");
  EXPECT_EQ(rows("select CInt('2.5'), CInt('3.5'), CInt(' -2.5 '), CInt('32767'), CInt('32768')"),
            "2|4|-2|32767|NULL");
  // A value CInt cannot convert leaves its row out of the comparison, not the statement.
  EXPECT_EQ(rows("select count(*) from T where CInt(s) < 100"), "1");
  EXPECT_EQ(rows("select count(*), count(s) from T"), "5|4");
  EXPECT_EQ(rows("select Mid(trim(s),2), MID(trim(s),2,3), mid(trim(s),5,9), Mid(s,50) from T "
                 "where n=5"),
            "andú|and|ú|");
  EXPECT_EQ(errorOf("select LEFT(s,-1) into X from T"), SQLITE_ERROR);
  EXPECT_EQ(errorOf("select Mid(s,0) into X from T"), SQLITE_ERROR);
  EXPECT_EQ(errorOf("select nofunction(s) into X from T"), base::kErrSyntax);
}

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

TEST_F(Dialect, DatesCompareInTimeAndConvertFromTheirTextForms) {
  discharges();
  // Both period bounds are inclusive, and a time of day is later than the literal of its day.
  EXPECT_EQ(rows("select folio from EGRESO  WHERE  clues = 'DFSSA000001' AND CDATE(egreso) >= "
                 "#2013/03/06# AND CDATE(egreso) <= #2013/03/07# ORDER BY folio"),
            "2");
  EXPECT_EQ(rows("select folio from EGRESO WHERE CDATE(egreso) > #2013/03/07# "), "3");
  EXPECT_EQ(
      rows("select CDATE('05/03/2013'), CDATE('2013-03-05'), CDATE('2013-03-05 08:09:10'), "
           "CDATE('31/02/2013'), CDATE('ayer'), CDATE(41338)"),
      "2013-03-05 00:00:00|2013-03-05 00:00:00|2013-03-05 08:09:10|NULL|NULL|2013-03-05 00:00:00");
}

TEST_F(Dialect, StatementFormsOfTheRunDriverAndTheRules) {
  discharges();
  run("CREATE TABLE RESULTADOSVALIDACION(Unidad char(11) NULL, PERIODO char(50) NULL, "
      "RESULTADO char(100) NULL) ");
  run("INSERT INTO RESULTADOSVALIDACION(UNIDAD,PERIODO,RESULTADO) SELECT "
      "'DFSSA000001','Fechaini: #2013/01/01#, Fechafin: #2013/12/31#','A REVISAR'");
  EXPECT_EQ(rows("select * from resultadosvalidacion"),
            "DFSSA000001|Fechaini: #2013/01/01#, Fechafin: #2013/12/31#|A REVISAR");
  EXPECT_EQ(errorOf("CREATE TABLE resultadosvalidacion(x char(1) NULL)"), base::kErrTableExists);

  // Joins nested in parentheses, HAVING, and an IN subquery over a grouped alias.
  run("select e.folio,a.afec,e.sexo Into Validacion1 From (afecciones AS a INNER JOIN egreso AS b "
      "ON a.folio = b.folio ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND "
      "e.egreso=a.egreso Where e.SEXO <> '1' ");
  EXPECT_EQ(rows("select * from Validacion1"), "3|z302|2");
  run("select folio,clues,egreso Into   Validacion2 From AFECCIONES Where folio In (Select folio "
      "From AFECCIONES As Tmp Group By folio Having Count(*)>1 )");
  EXPECT_EQ(rows("select count(*) from Validacion2"), "2");
  run("CREATE TABLE CATCIE9MC(CVE_PROC char(4) NULL, DESCRIP char(20) NULL)");
  run("INSERT INTO CATCIE9MC VALUES ('a001', 'uno')");
  run("select folio,clues,egreso,afec Into Validacion3 From afecciones AS a LEFT OUTER JOIN "
      "CATCIE9MC b ON a.afec = b.CVE_PROC Where b.DESCRIP IS NULL");
  EXPECT_EQ(rows("select folio, afec from Validacion3 order by afec"), "1|B002;3|z302");
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

TEST(AccessConversions, ValCIntAndCDateEdges) {
  using namespace dialect;
  EXPECT_EQ(accessVal(" 1 2 3"), 123);
  EXPECT_EQ(accessVal("-1.5e2x"), -150);
  EXPECT_EQ(accessVal("&HFF"), 255);
  EXPECT_EQ(accessVal("."), 0);
  EXPECT_EQ(accessCInt("1e2"), 100);
  EXPECT_EQ(accessCInt("-32768.4"), -32768);
  EXPECT_EQ(accessCInt("0x10"), std::nullopt);
  EXPECT_EQ(accessCInt(""), std::nullopt);
  EXPECT_EQ(accessCDate("5/3/2013"), "2013-03-05 00:00:00");
  EXPECT_EQ(accessCDate("29/02/2012 23:59:59"), "2012-02-29 23:59:59");
  EXPECT_EQ(accessCDate("29/02/2013"), std::nullopt);
  EXPECT_EQ(accessCDate("05/03/13"), std::nullopt);
  EXPECT_EQ(accessCDate("2013-03-05 25:00:00"), std::nullopt);
}

}  // namespace
}  // namespace kolt::engine
