#include <gtest/gtest.h>
#include <sqlite3.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

#include "base/error.h"
#include "rules/frame_steps.h"
#include "rules/rule_fixture.h"
#include "rules/rule_plan.h"
#include "rules/validaciones.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"
#include "xls/workbook.h"

namespace kolt::rules {
namespace {

using test::TempDir;
using Kind = engine::StatementKind;

class Frame : public ::testing::Test {
 protected:
  TempDir dir;
  std::filesystem::path book = dir / "Val.xls";
};

// The whole catalogue on discharges that pass every rule.
TEST_F(Frame, FreshDatabaseDropsQuietlyCreatesEveryTableLeavesNoWorkTableAndNoWorkbookWhenClean) {
  SheetsDb db(dir / "Val.mdb");
  db.insert("CATCIE10", {{"CAUSA", "I219"}, {"nombre", "x"}});
  db.insert("CATCIE10", {{"CAUSA", "E119"}, {"nombre", "x"}});
  db.insert("Folio", {{"certificado", "230000001"}});
  db.insert("CATCIE9MC", {{"CVE_PROC", "8901"}, {"DESCRIP", "x"}});
  db.egreso().obstet().productos().defunc().afecciones().procedimientos();
  std::vector<std::string> tables = db.tableNames();
  const FrameReport report = Validaciones(db.connection(), book);
  for (const engine::StatementRecord* s : report.failures())
    ADD_FAILURE() << "rule " << s->rule << ": " << s->text << "\n" << s->errorDescription;
  for (const PlannedRule& rule : planRules(ruleCatalogue())) tables.push_back(rule.table);
  std::sort(tables.begin(), tables.end());
  EXPECT_EQ(db.tableNames(), tables);  // every result table, and no work table left
  EXPECT_TRUE(report.findings().empty());
  EXPECT_FALSE(std::filesystem::exists(book));

  // Per rule: the drop finds nothing, the statements run, the count reads no row, no export.
  std::map<Kind, int> kinds;
  for (const engine::StatementRecord& s : report.statements) {
    if (s.rule > 26) break;
    ++kinds[s.kind];
    EXPECT_EQ(s.ok, s.kind != Kind::Drop) << s.text;
    EXPECT_EQ(s.errorNumber, s.kind == Kind::Drop ? long{base::kErrNoSuchTable} : 0L) << s.text;
  }
  EXPECT_EQ(kinds, (std::map<Kind, int>{{Kind::Drop, 26}, {Kind::Rule, 27}, {Kind::Count, 26}}));
  for (const RuleRun& r : report.rules) EXPECT_EQ(r.rows, 0) << r.table;
  // A table that is not there is no finding, and its count stays in the record as failed.
  engine::StatementLog log;
  EXPECT_FALSE(ArchivoExcel(db.connection(), book, "Validacion999", log));
  ASSERT_EQ(log.records().size(), 1u);
  EXPECT_TRUE(log.records()[0].failed());
}

// Without the column derhab, the statements of rules 4 and 5 are rejected: that costs only those
// rules, and is reported, not swallowed. The second run's workbook goes to a folder whose name
// holds a quote, as the export statement must survive, and its trace to a stream that takes
// nothing.
TEST_F(Frame, FindingsBecomeSheetsInRuleOrderTracedOneStatementALineAndASecondRunGivesTheSame) {
  SheetsDb db(dir / "Val.mdb", {.omitColumns = {{"EGRESO", "derhab"}}});
  db.egreso({{"sexo", "3"}}).egreso({{"edad", 0}}).egreso({{"vez", "7"}, {"sexo", ""}});
  std::ostringstream trace;
  const FrameReport report = Validaciones(db.connection(), book, {.trace = &trace, .lastRule = 26});

  std::vector<std::pair<int, Kind>> failures;
  for (const engine::StatementRecord* s : report.failures()) {
    failures.emplace_back(s->rule, s->kind);
    EXPECT_NE(s->errorNumber, 0);
    EXPECT_FALSE(s->errorDescription.empty());
  }
  EXPECT_EQ(failures, (std::vector<std::pair<int, Kind>>{{4, Kind::Rule}, {5, Kind::Rule}}));
  for (const RuleRun& r : report.rules) {
    EXPECT_EQ(r.failed, r.number == 4 || r.number == 5) << r.table;
    EXPECT_EQ(db.hasTable(r.table), !r.failed) << r.table;
  }
  EXPECT_EQ(xls::sheetNames(book),
            (std::vector<std::string>{"Validacion1", "Validacion3", "Validacion22"}));
  std::vector<std::tuple<int, std::int64_t, bool>> found;  // number, rows, exported
  for (const RuleRun* r : report.findings()) found.emplace_back(r->number, r->rows, r->exported);
  EXPECT_EQ(found, (std::vector<std::tuple<int, std::int64_t, bool>>{
                       {1, 1, true}, {3, 2, true}, {22, 1, true}}));

  // Rows written are kept: rule 3's statement, its count and its export all saw its two rows.
  std::vector<std::pair<Kind, std::int64_t>> rule3;
  std::string expected;
  for (const engine::StatementRecord& s : report.statements) {
    if (s.rule == 3) rule3.emplace_back(s.kind, s.rows);
    expected += s.text + "\n";
  }
  EXPECT_EQ(rule3, (std::vector<std::pair<Kind, std::int64_t>>{
                       {Kind::Drop, 0}, {Kind::Rule, 2}, {Kind::Count, 2}, {Kind::Export, 2}}));
  EXPECT_EQ(trace.str(), expected);
  EXPECT_TRUE(report.traceIntact);
  // Texts go out as they are, trailing blank included.
  EXPECT_NE(trace.str().find("WHERE sexo NOT IN ('1','2') \n"), std::string::npos);

  std::vector<std::vector<std::vector<std::string>>> first, again;
  for (const RuleRun& r : report.rules)
    if (!r.failed) first.push_back(db.rows(r.table));
  std::filesystem::create_directory(dir / "o'brien");
  std::ofstream unwritable;  // never opened: every write fails
  const FrameReport second = Validaciones(db.connection(), dir / "o'brien" / "Val.xls",
                                          {.trace = &unwritable, .lastRule = 26});
  for (const RuleRun& r : report.rules)
    if (!r.failed) again.push_back(db.rows(r.table));
  EXPECT_EQ(again, first);
  EXPECT_EQ(second.failures().size(), 2u);
  EXPECT_FALSE(second.traceIntact);
  EXPECT_EQ(xls::sheetNames(dir / "o'brien" / "Val.xls"), xls::sheetNames(book));
}

// Rules 3 to 22 alone, progress counting them.
TEST_F(Frame, TableLeftFromBeforeIsNoFindingAndAFindingWhoseSheetCouldNotBeWrittenStaysOne) {
  SheetsDb db(dir / "Val.mdb");
  db.egreso({{"sexo", "3"}, {"vez", "7"}});
  // Something named Validacion3 that "Drop Table" cannot remove: the rule's table cannot be made
  // afresh, and what stands under its name is not this run's finding.
  ASSERT_EQ(
      sqlite3_exec(db.connection().handle(), "CREATE VIEW Validacion3 AS SELECT 'old' AS folio",
                   nullptr, nullptr, nullptr),
      SQLITE_OK);
  std::filesystem::create_directory(book);  // a folder where the workbook should go
  std::vector<std::pair<int, int>> progress;
  const auto count = [&](const RuleProgress& p) {
    progress.emplace_back(p.position, p.rule);
    EXPECT_EQ(p.total, 20);
  };
  const FrameReport report =
      Validaciones(db.connection(), book, {.progress = count, .firstRule = 3, .lastRule = 22});
  ASSERT_EQ(progress.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(progress[i], std::make_pair(i + 1, i + 3));
  EXPECT_TRUE(db.hasTable("Validacion4") && db.hasTable("Validacion22"));

  EXPECT_TRUE(report.rules[0].failed);
  EXPECT_EQ(report.rules[0].rows, -1);
  ASSERT_EQ(report.findings().size(), 1u);
  const RuleRun& found = *report.findings()[0];
  EXPECT_EQ(std::tuple(found.number, found.rows, found.exported), std::tuple(22, 1, false));
  std::vector<std::pair<int, Kind>> failures;
  for (const engine::StatementRecord* s : report.failures())
    failures.emplace_back(s->rule, s->kind);
  EXPECT_EQ(failures, (std::vector<std::pair<int, Kind>>{
                          {3, Kind::Drop}, {3, Kind::Rule}, {22, Kind::Export}}));
}

TEST_F(Frame, WorkTablesAreBuiltBeforeTheirReaderAndGoneAfterTheGroup) {
  SheetsDb db(dir / "Val.mdb");
  db.egreso({{"folio", "A"}}).egreso({{"folio", "B"}, {"sexo", "1"}});
  const Rule first{27,
                   "Validacion27",
                   "d",
                   {"select folio Into Validacion27 from W2 "},
                   {{"W1", {"select folio,sexo Into  W1 from egreso where sexo='2'"}},
                    {"W2",
                     {"select folio Into  W2 from W1 ",
                      "Insert into W2 select folio from egreso where sexo='1'"}}}};
  const Rule second{28, "Validacion28", "d", {"select folio Into Validacion28 from W1 "},
                    {}, {"W1", "W2"}};
  const Catalogue catalogue{{&first, &second}, {}, {}};
  const FrameReport report = Validaciones(db.connection(), book, {.catalogue = &catalogue});

  // Nothing failed, the two last drops included: no work table is left.
  EXPECT_TRUE(report.failures().empty());
  EXPECT_EQ(db.column("Validacion27", "folio"), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(db.column("Validacion28", "folio"), (std::vector<std::string>{"A"}));
  std::vector<std::string> texts;
  for (const engine::StatementRecord& s : report.statements) texts.push_back(s.text);
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "Drop Table W1",
                       "select folio,sexo Into  W1 from egreso where sexo='2'",
                       "Drop Table W2",
                       "select folio Into  W2 from W1 ",
                       "Insert into W2 select folio from egreso where sexo='1'",
                       "Drop Table Validacion27",
                       "select folio Into Validacion27 from W2 ",
                       "Select * from Validacion27",
                       exportStatement("Validacion27", book),
                       "Drop Table Validacion28",
                       "select folio Into Validacion28 from W1 ",
                       "Select * from Validacion28",
                       exportStatement("Validacion28", book),
                       "Drop Table W1",
                       "Drop Table W2",
                   }));
}

TEST_F(Frame, SheetHeadingsKeepTheirBlanksAndAccents) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  SheetsDb db(dir / "Val.mdb");
  db.insert("CATCIE10", {{"CAUSA", "B050"}, {"nin", "T"}});
  db.egreso({{"afecprin", "B050"}});
  EXPECT_TRUE(
      Validaciones(db.connection(), book, {.firstRule = 107, .lastRule = 107}).failures().empty());
  EXPECT_EQ(test::sheet(test::readBack(book), "Validacion107").at(0),
            (std::vector<std::string>{"text:cedocve", "text:folio", "text:clues", "text:egreso",
                                      "text:afecprin", "text:Notificación Diaria",
                                      "text:Notificación Semanal", "text:Notificación Inmediata",
                                      "text:Sistema Especial"}));
}

// A table of the source that stays for want of room would only make the next statement fail with
// "ya existe": the drop's full disk (here a file-size limit the engine's write runs into) stops
// the caller, while a table that is not there stops nothing.
TEST(BorrarTablaOrigen, AFullDiskIsThrownAndAMissingTableIsNot) {
  TempDir dir;
  test::WorkingDb db(dir / "origen.db");
  engine::StatementLog log;
  EXPECT_NO_THROW(BorrarTablaOrigen(db.connection(), "CLUESSEL", log));
  db.connection().execute("CREATE TABLE CLUESSEL (CLUES char(11) NULL)");
#ifdef _WIN32
  GTEST_SKIP() << "Windows has no file-size limit to run the engine's write into";
#else
  rlimit before{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
  const rlimit tiny{1, before.rlim_max};
  const auto handler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &tiny), 0);
  long error = 0;
  try {
    BorrarTablaOrigen(db.connection(), "CLUESSEL", log);
  } catch (const base::Error& e) {
    error = e.number();
  }
  ::setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, handler);
  EXPECT_EQ(error, base::kErrDiskFull);
#endif
}

}  // namespace
}  // namespace kolt::rules
