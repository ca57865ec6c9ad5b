// The Access-dialect statements the program runs: every line of the *.cases files beside this one
// (one for each family of operators, comparisons, literals, the order of texts and of functions),
// and what a line of them cannot show.
//
// In a case file, "caso TITLE" begins a fresh database (in memory: the engine is the same),
// where the lines before the first case run first. A line is a statement that must run;
// "STATEMENT => ROWS" the rows it reads (fields by '|', rows by ';', none: nada);
// "STATEMENT => error N" its refusal (1: by SQLite itself), '=> error N "part"' a refusal whose
// message holds that part; "columnas T => name:type,..." a table's columns; "escritas => N" the
// rows the last statement wrote; "describe TEXT => kind|target|sí/no|count" what
// describeStatement says of TEXT; "traduce TEXT => SQL" the statement SQLite is given, and
// "traduce en bytes TEXT => SQL" the one it is given where the keys compare as bytes; "indexa"
// indexes the database as a unit's working database is indexed once its records are in.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "base/date_text.h"
#include "engine/connection.h"
#include "engine/dialect/emitter.h"
#include "engine/dialect/function_table.h"
#include "engine/dialect/functions.h"
#include "engine/dialect/translation.h"
#include "engine/export_sink.h"
#include "engine/unit_index.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::engine {
namespace {

// Fields separated by '|', rows by ';', NULL as "NULL".
std::string rowsText(const Recordset& rs) {
  std::string out;
  for (const auto& row : rs.rows()) {
    if (&row != &rs.rows().front()) out += ";";
    for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + test::text(row[i]);
  }
  return out;
}

// What a line finds, in the words the case file writes after "=>".
std::string outcome(Connection& cnn, const std::string& statement, const std::string& expected) {
  std::string out;
  try {
    if (statement == "escritas") return std::to_string(cnn.rowsWritten());
    if (statement == "indexa") return indexWorkingDatabase(cnn), "";
    if (statement.starts_with("traduce en bytes "))
      return dialect::bytesFor(translate(statement.substr(17)).sql,
                               dialect::kKeysAsBytes | dialect::kCodesAsBytes);
    if (statement.starts_with("traduce ")) return translate(statement.substr(8)).sql;
    if (statement.starts_with("describe ")) {
      // kind|target|external database (sí/no)|statements
      const StatementDescription d = describeStatement(statement.substr(9));
      const char* const kinds[] = {"SelectInto", "InsertSelect", "Other"};  // in the enum's order
      return kinds[static_cast<int>(d.kind)] + ("|" + d.target) +
             (d.namesExternalDatabase ? "|sí|" : "|no|") + std::to_string(d.statementCount);
    }
    if (statement.starts_with("columnas ")) {
      const Recordset rs = cnn.openRecordset("select * from " + statement.substr(9));
      for (const auto& c : rs.columns())
        out += (out.empty() ? "" : ",") + c.name + ":" + c.declaredType;
      return out;
    }
    if (expected.empty() || expected.starts_with("error ")) return cnn.execute(statement), "";
    out = rowsText(cnn.openRecordset(statement));
    return out.empty() ? "nada" : out;
  } catch (const base::Error& e) {
    // An expected refusal names its number, and may quote a part of its message.
    const std::string number = "error " + std::to_string(e.number());
    const auto quote = expected.find(" \"");
    const std::string part =
        quote == std::string::npos ? "" : expected.substr(quote + 2, expected.size() - quote - 3);
    // A failure inside SQLite, a function's refusal of a value, says what it was in its detail.
    if (expected.starts_with("error ") &&
        (e.description() + " " + e.detail()).find(part) != std::string::npos)
      return number + (quote == std::string::npos ? "" : expected.substr(quote));
    return number + " (" + e.description() + ")";
  }
}

// One case file: its lines before the first case run again at the start of each case.
void runCaseFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  const std::string fileName = file.filename().string();
  std::vector<std::string> prelude;
  Connection cnn;
  std::string text, title;
  int cases = 0;
  for (int number = 1; std::getline(in, text); ++number) {
    if (text.empty() || text[0] == '#') continue;
    if (text.starts_with("caso ")) {
      title = text.substr(5);
      ++cases;
      cnn.openInMemory();
      for (const std::string& line : prelude) cnn.execute(line);
    } else if (cases == 0) {
      prelude.push_back(text);
    } else {
      const auto arrow = text.find(" => ");
      const std::string statement = text.substr(0, arrow);
      const std::string expected = arrow == std::string::npos ? "" : text.substr(arrow + 4);
      EXPECT_EQ(outcome(cnn, statement, expected), expected)
          << fileName << ":" << number << " (caso " << title << "): " << statement;
    }
  }
  EXPECT_GT(cases, 0) << fileName;
}

// Every *.cases file of the folder, dialect.cases and one file for each family of functions.
TEST(DialectCases, EveryLineGivesWhatItsFileSays) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(test::sourceDir() / "tests/engine"))
    if (entry.path().extension() == ".cases") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  EXPECT_GE(files.size(), 6u);
  for (const auto& file : files) runCaseFile(file);
}

class Dialect : public ::testing::Test {
 protected:
  void SetUp() override {
    cnn.openInMemory();
    // Three discharges of one unit, its code written in both cases.
    cnn.execute(
        "CREATE TABLE EGRESO(folio char(8) NULL, clues char(11) NULL, egreso datetime NULL)");
    cnn.execute(
        "INSERT INTO EGRESO VALUES ('1','DFSSA000001',#2013/03/05#), "
        "('2','DFSSA000001',#2013/03/06#), ('3','dfssa000001','2013-03-07 10:30:00')");
  }

  std::string rows(std::string_view sql) { return rowsText(cnn.openRecordset(sql)); }

  test::TempDir dir;
  Connection cnn;
};

// "NAME(a, a, ...)" with `count` arguments.
std::string callOf(std::string_view name, int count, std::string_view argument) {
  std::string call;
  for (char c : name) call += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  call += "(";
  for (int i = 0; i < count; ++i) call += (i ? ", " : "") + std::string(argument);
  return call + ")";
}

// Every function is called with each number of arguments its row allows, the name in capitals as
// the rules often write it, so what the emitter lets through is registered under that count; any
// other count is refused before SQLite, naming the function and what it takes.
TEST_F(Dialect, EachFunctionRunsWithTheArgumentsItsRowAllowsAndRefusesOthers) {
  cnn.execute("CREATE TABLE T(n integer NULL)");
  cnn.execute("INSERT INTO T VALUES (1)");
  for (const auto& f : dialect::accessFunctions()) {
    for (int count = f.minArgs; count <= f.maxArgs; ++count) {
      // A count the row's own check refuses (Switch takes pairs) is the check's to answer.
      const std::vector<std::optional<std::string_view>> columns(static_cast<std::size_t>(count));
      if (f.check && !f.check(columns).empty()) continue;
      // A function may refuse the value 1 for an argument (Format's pattern); SQLite must not
      // refuse the call.
      try {
        rows("select " + callOf(f.name, count, "n") + " from T");
      } catch (const base::Error& e) {
        EXPECT_EQ(e.detail().find("no such function"), std::string::npos)
            << callOf(f.name, count, "n") << ": " << e.detail();
      }
    }
    for (int count : {f.minArgs - 1, f.maxArgs + 1}) {
      if (count < 0) continue;
      const std::string call = "select " + callOf(f.name, count, "n") + " from T";
      for (const std::string& part :
           {"función '" + std::string(f.name) + "'", ", no " + std::to_string(count) + "."}) {
        const std::string refused = "error 3000 \"" + part + "\"";
        EXPECT_EQ(outcome(cnn, call, refused), refused);
      }
    }
  }
}

// What a row says a function gives is what its implementation gives, on a number, a date and a
// text: a comparison with a literal converts the literal to that kind, and a row that said Number
// for a function giving a date would compare every row wrongly without a word. A date is the
// engine's date text; a text never is (a date cut or trimmed is written dd/mm/aaaa first); a truth
// is -1 or 0.
TEST_F(Dialect, EachFunctionGivesTheKindItsRowSays) {
  cnn.execute("CREATE TABLE T(n integer NULL, d datetime NULL, t char(20) NULL)");
  cnn.execute("INSERT INTO T VALUES (1, '2024-01-31 10:30:00', '2')");
  auto agrees = [](dialect::ResultKind kind, const base::Value& v) {
    const auto* text = std::get_if<std::string>(&v);
    switch (kind) {
      case dialect::ResultKind::Number:
        return std::holds_alternative<std::int64_t>(v) || std::holds_alternative<double>(v);
      case dialect::ResultKind::Truth:
        return v == base::Value(std::int64_t{-1}) || v == base::Value(std::int64_t{0});
      case dialect::ResultKind::Text:
        return text && !base::parseCanonical(*text);
      case dialect::ResultKind::Date:
        return text && base::parseCanonical(*text).has_value();
      case dialect::ResultKind::Unknown:
        break;
    }
    return true;
  };
  int checked = 0;
  for (const auto& f : dialect::accessFunctions()) {
    for (int count = f.minArgs; count <= std::min(f.maxArgs, 3); ++count) {
      for (const char* argument : {"n", "d", "t"}) {
        const std::string call = callOf(f.name, count, argument);
        std::optional<Recordset> rs;
        try {
          rs = cnn.openRecordset("select " + call + " from T");
        } catch (const base::Error&) {
          continue;  // arguments the function refuses (an interval of 1, a format of 2)
        }
        const base::Value& v = rs->rows().at(0).at(0);
        if (std::holds_alternative<std::monostate>(v)) continue;
        ++checked;
        EXPECT_TRUE(agrees(f.result, v)) << call << " gives " << test::text(v);
      }
    }
  }
  EXPECT_GT(checked, 100);
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
  auto call = [](std::string_view name, int count) { return "SELECT " + callOf(name, count, "1"); };
  for (const auto& f : dialect::accessFunctions()) {
    if (f.engine.empty()) continue;
    for (int count = f.minArgs; count <= f.maxArgs; ++count)
      EXPECT_TRUE(prepares(call(f.engine, count))) << call(f.engine, count);
    if (!f.implementation) continue;
    if (f.minArgs > 0) {
      EXPECT_FALSE(prepares(call(f.engine, f.minArgs - 1))) << call(f.engine, f.minArgs - 1);
    }
    EXPECT_FALSE(prepares(call(f.engine, f.maxArgs + 1))) << call(f.engine, f.maxArgs + 1);
  }
  sqlite3_close(db);
}

// Rows copied into another file, its name quoted, are there to read through a link, and so are the
// rows written there later.
TEST_F(Dialect, SelectIntoAnotherDatabaseFileAndLinkedTableReadingItsCurrentRows) {
  Connection::createDatabase(dir.path() / "V it's.db");
  cnn.execute("SELECT * INTO EGRESO IN '" + (dir.path() / "V it''s.db").string() +
              "' FROM EGRESO  WHERE  clues = 'DFSSA000001' AND CDATE(egreso) >= #2013/03/06#");
  const std::string absent = (dir.path() / "absent.db").string();
  EXPECT_EQ(outcome(cnn, "SELECT * INTO EGRESO IN '" + absent + "' FROM EGRESO", "error 3044"),
            "error 3044");
  cnn.link("Folio", dir.path() / "V it's.db", "EGRESO");
  EXPECT_EQ(rows("select folio, egreso from Folio order by folio"),
            "2|2013-03-06 00:00:00;3|2013-03-07 10:30:00");
  Connection other;
  other.open(dir.path() / "V it's.db");
  EXPECT_EQ(other.openRecordset("select egreso from egreso").columns()[0].declaredType, "DATETIME");
  other.execute("INSERT INTO EGRESO (folio, clues) VALUES ('a4', 'X')");
  EXPECT_EQ(rows("select count(*) from folio where folio IN ('A4','2')"), "2");
  cnn.unlink("Folio");
  EXPECT_EQ(outcome(cnn, "select * into X from Folio", "error 3011"), "error 3011");
}

TEST_F(Dialect, RecordsetReadsFieldsByNameWithoutRegardToCase) {
  Recordset rs = cnn.openRecordset("SELECT CLUES,count(*) AS n From EGRESO GROUP BY clues");
  // Its one row reads, and after it comes the end.
  EXPECT_EQ(std::get<std::int64_t>(rs.field("N")), 3);
  EXPECT_THROW(rs.field("descunidad"), base::Error);
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  // A field is read from the current row.
  Recordset folios = cnn.openRecordset("SELECT folio FROM EGRESO ORDER BY folio");
  folios.moveNext();
  EXPECT_EQ(std::get<std::string>(folios.field("FOLIO")), "2");
}

// Date() and Now() give the moment the run began, whatever the clock says when a rule runs; a
// connection opened again gives the clock's until it is told.
TEST_F(Dialect, DateAndNowGiveTheRunStartTheConnectionIsGiven) {
  cnn.setRunStart({2023, 5, 6, 19, 8, 9});
  EXPECT_EQ(rows("select Now(), Date(), CStr(Now()), Year(Date())"),
            "2023-05-06 19:08:09|2023-05-06 00:00:00|06/05/2023 07:08:09 p. m.|2023");
  EXPECT_EQ(rows("select count(*) from EGRESO where egreso < Date() - 3650"), "3");
  cnn.openInMemory();
  EXPECT_NE(rows("select Year(Now())"), "2023");
}

// The kinds of the columns an export is given.
class KindsSink : public ExportSink {
 public:
  std::int64_t write(const std::filesystem::path&, std::string_view,
                     const std::vector<ExportColumn>& columns, const RowSource& rows) override {
    for (const ExportColumn& c : columns)
      kinds += (kinds.empty() ? "" : ",") + c.name +
               (c.kind == ExportKind::Date    ? ":fecha"
                : c.kind == ExportKind::Plain ? ":"
                                              : ":?");
    std::vector<base::Value> row;
    std::int64_t n = 0;
    while (rows(row)) ++n, row.clear();
    return n;
  }
  std::string kinds;
};

// A date the statement computes goes to the workbook as a date, as a date column does; a date made
// text, or a value only sometimes a date, goes as it is.
TEST_F(Dialect, ComputedDatesAreExportedAsDates) {
  KindsSink sink;
  cnn.setExportSink(&sink);
  cnn.execute(
      "select DateAdd('d', 1, egreso) as a, egreso, CStr(egreso) as t, #01/31/2024# as l, "
      "IIf(folio = '1', Date(), DateSerial(2024, 1, 1)) as i, IIf(folio = '1', Date(), '') as m, "
      "CDate(folio) as c into [Hoja] in 'x.xls' 'Excel 8.0;' from EGRESO");
  EXPECT_EQ(sink.kinds, "a:fecha,egreso:fecha,t:,l:fecha,i:fecha,m:,c:fecha");
  EXPECT_EQ(cnn.rowsWritten(), 3);
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

// The case files compare texts through the engine; these hold bytes no text file should.
TEST(CaseFolding, ALeadByteCutShortIsACharacterOfItsOwn) {
  EXPECT_GT(dialect::compareIgnoringCase("x\xC3", "x\xC3\xA1"), 0);  // Ã after á
  EXPECT_LT(dialect::compareIgnoringCase("\xC3\xC3\xA1", "\xC3\xC3\xA2"), 0);
}

// The collation orders every index on text: a comparison that contradicts itself between two
// pairs, or that answers differently once a long shared prefix sends it down the fast path,
// would let an index lookup miss rows. So every pair and triple of a list of awkward texts is
// checked for a consistent order, alone and behind a prefix of each length up to 17.
TEST(CaseFolding, TheOrderOfTextsIsOneOrderWhereverTheTextsDiffer) {
  const std::vector<std::string> texts = {
      "",  "a", "A", "á",  "Á", "à",     "ab",    "áb",    "ac", "AC",   "b",     "n",
      "N", "ñ", "Ñ", "nz", "o", "ñandú", "ÑANDÚ", "nandu", "z",  "{",    "[",     "0",
      "9", "é", "e", "f",  "ü", "u",     "ł",     "ж",     "Ж",  "\xC3", "a\xC3", "~"};
  auto sign = [](int c) { return c < 0 ? -1 : c > 0 ? 1 : 0; };
  for (const std::string prefix : {"", "x", "DFSSA000170 ", "DFSSA000170 2023-12"}) {
    for (const auto& a : texts) {
      EXPECT_EQ(dialect::compareIgnoringCase(prefix + a, prefix + a), 0) << prefix + a;
      for (const auto& b : texts) {
        const int ab = sign(dialect::compareIgnoringCase(prefix + a, prefix + b));
        EXPECT_EQ(ab, -sign(dialect::compareIgnoringCase(prefix + b, prefix + a)))
            << prefix + a << " / " << prefix + b;
        EXPECT_EQ(ab, sign(dialect::compareIgnoringCase(a, b)))
            << prefix << ": " << a << " / " << b;
        for (const auto& c : texts) {
          const int bc = sign(dialect::compareIgnoringCase(prefix + b, prefix + c));
          if (ab == bc && ab != 0) {
            EXPECT_EQ(sign(dialect::compareIgnoringCase(prefix + a, prefix + c)), ab)
                << prefix + a << " / " << prefix + b << " / " << prefix + c;
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kolt::engine
