// Whole validation runs on engine databases made by the test builder.
#include "run/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>
#include <tuple>
#include <utility>

#include "results/results_folder.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"
#include "xls/workbook.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using test::kNull;
using test::WorkingDb;

const std::string kOther(test::kOtherUnit);
const Unit kGeneral{"DFSSA000001", "HOSPITAL GENERAL"}, kNorte{kOther, "CLINICA NORTE"};

// The rows of the summary workbook in `folder`, "{unit}|{period}|{verdict}"; none without it.
std::vector<std::string> summaryIn(const fs::path& folder) {
  std::vector<std::string> rows;
  const fs::path book = folder / "ResultadosVal.xls";
  if (!fs::exists(book)) return rows;
  // The reader is started through the shell, which a quote in the folder's name would upset.
  test::TempDir plain;
  fs::copy_file(book, plain / "ResultadosVal.xls");
  const test::SheetCells cells =
      test::sheet(test::readBack(plain / "ResultadosVal.xls"), "Resultados");
  for (std::size_t r = 1; r < cells.size(); ++r) {
    std::string row;
    for (const auto& cell : cells[r])
      row += (row.empty() ? "" : "|") + cell.substr(cell.find(':') + 1);
    rows.push_back(row);
  }
  return rows;
}

class Run : public ::testing::Test {
 protected:
  Run() : app(dir.path() / "programa"), session(app) { fs::create_directories(app); }

  void makeSource(const WorkingDb::Options& options = {}) {
    test::twoUnitSource(dir.path() / "origen.db", options);
    test::ruleCatalogue(app / "ValidacionesKOLT.db");
  }

  // A source whose every unit has one discharge that breaks rule 1, each unit chosen for the run.
  void unitsBreakingRule1(Session& session, const std::vector<std::string>& codes) {
    {
      WorkingDb source(dir.path() / "origen.db");
      for (const auto& code : codes) {
        source.egreso({{"clues", code}, {"edad", 131}});
        source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
      }
      WorkingDb catalogue(session.app / "ValidacionesKOLT.db");
    }
    openDatabases(session, dir.path() / "origen.db");
    for (const auto& code : codes) units.push_back(Unit{code, "UNIDAD"});
  }

  void open() {
    openDatabases(session, dir.path() / "origen.db");
    engine::StatementLog log;
    units = CargaUnidades(session.cnnOrigen, log);
  }

  RunOutcome validate(const char* desde = nullptr, const char* hasta = nullptr) {
    return runValidation(test::requestFor(session, units, desde, hasta));
  }

  std::vector<std::string> summary() { return summaryIn(session.resultsFolder); }

  fs::path results(const std::string& name) { return session.resultsFolder / name; }

  std::string log() { return test::fileText(results("Validacion.log")); }

  test::TempDir dir;
  fs::path app;
  Session session;
  std::vector<Unit> units;  // the units the run validates
};

TEST_F(Run, CleanUnitIsCorrectaAndUnitWithFindingsGetsItsWorkbook) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  makeSource();
  open();
  ASSERT_EQ(units, (std::vector<Unit>{kGeneral, kNorte}));
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(outcome.failedStatements, 0);
  EXPECT_EQ(summary(),
            (std::vector<std::string>{"DFSSA000001|TODO|CORRECTA", "DFSSA000002|TODO|A REVISAR"}));
  EXPECT_FALSE(fs::exists(results("ValDFSSA000001.xls")));
  EXPECT_EQ(xls::sheetNames(results("ValDFSSA000002.xls")),
            (std::vector<std::string>{"Validacion1", "catValidaciones"}));
  EXPECT_EQ(xls::sheetNames(results("ResultadosVal.xls")), std::vector<std::string>{"Resultados"});
  EXPECT_FALSE(fs::exists(results("ValDFSSA000001.db")));
  EXPECT_FALSE(fs::exists(results("ValDFSSA000002.db")));
  EXPECT_EQ(MensajeFinal(test::requestFor(session, units), outcome),
            "El proceso de Validación de la Calidad ha Terminado, los resultados puede revisarlos "
            "dentro de la carpeta de " +
                session.resultsFolder.string());
  // One failed statement is said as well as many.
  RunOutcome oneFailure = outcome;
  oneFailure.failedStatements = 1;
  EXPECT_NE(MensajeFinal(test::requestFor(session, units), oneFailure)
                .find("\nNo se pudieron ejecutar 1 instrucciones; el detalle está en "),
            std::string::npos);

  // A second run replaces the summary and the unit's workbook.
  units = {kNorte};
  validate("15/03/2023", "16/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{
                           "DFSSA000002|Fechaini: #2023/03/15#, Fechafin: #2023/03/16#|CORRECTA"});
  EXPECT_FALSE(fs::exists(results("ValDFSSA000002.xls")));
}

TEST_F(Run, PeriodBoundsAreInclusiveOnEitherSide) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  makeSource();
  open();
  units = {kNorte};
  validate("14/03/2023", "14/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{
                           "DFSSA000002|Fechaini: #2023/03/14#, Fechafin: #2023/03/14#|A REVISAR"});
  validate(nullptr, "14/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{"DFSSA000002| Fechafin: #2023/03/14#|A REVISAR"});
  validate("15/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{"DFSSA000002|Fechaini: #2023/03/15#|CORRECTA"});
}

TEST_F(Run, QuotesInUnitCodesAndPathsStayInsideTheirValues) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  fs::create_directories(dir.path() / "o'brien");
  Session quoted(dir.path() / "o'brien");
  unitsBreakingRule1(quoted, {"DF'SSA0001"});
  RunOutcome outcome = runValidation(test::requestFor(quoted, units));
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(outcome.failedStatements, 0);
  EXPECT_TRUE(fs::exists(quoted.resultsFolder / "ValDF'SSA0001.xls"));
  EXPECT_EQ(summaryIn(quoted.resultsFolder), std::vector<std::string>{"DF'SSA0001|TODO|A REVISAR"});
}

TEST_F(Run, FailedStatementsAreLoggedAndNeverPassForCorrect) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  // Without EGRESO.edad, rule 1 and others cannot run; the clean unit must not be "CORRECTA".
  makeSource({.omitColumns = {{"EGRESO", "edad"}}});
  open();
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport);
  EXPECT_GT(outcome.failedStatements, 0);
  EXPECT_EQ(summary(), (std::vector<std::string>{"DFSSA000001|TODO|VALIDACION INCOMPLETA",
                                                 "DFSSA000002|TODO|VALIDACION INCOMPLETA"}));
  EXPECT_NE(log().find("DFSSA000001\tregla 1\t"), std::string::npos) << log();
  EXPECT_NE(
      MensajeFinal(test::requestFor(session, units), outcome).find("\nNo se pudieron ejecutar "),
      std::string::npos);
}

TEST_F(Run, MissingTableForTheFirstUnitAbandonsTheRunBeforeAnyVerdict) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  makeSource();
  {
    engine::Connection source;
    source.open(dir.path() / "origen.db");
    source.execute("Drop Table OBSTET");
  }
  open();
  RunOutcome outcome = validate();
  ASSERT_TRUE(outcome.errorReport);
  EXPECT_EQ(outcome.errorReport->number, base::kErrNoSuchTable);
  EXPECT_TRUE(summary().empty());
  EXPECT_FALSE(fs::exists(results("ResultadosVal.xls")));
  // Only the failed copy is in the log, once, and the abandonment does not repeat its error.
  const std::string text = log();
  EXPECT_EQ(text.find("Error 0 -"), std::string::npos) << text;
  EXPECT_NE(text.find("\tSELECT * INTO OBSTET IN "), std::string::npos) << text;
  EXPECT_EQ(text.find("SELECT * INTO EGRESO IN "), std::string::npos) << text;
  const auto first = text.find("La tabla 'OBSTET' no existe");
  EXPECT_EQ(text.find("La tabla 'OBSTET' no existe", first + 1), std::string::npos) << text;
  EXPECT_NE(text.find("Validación abandonada por el error anterior."), std::string::npos);
}

TEST_F(Run, FailuresAreLoggedInTheOrderTheyRan) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  // Without CATLOCAL in the catalogue its copy fails, and so does rule 6, which reads it.
  makeSource();
  {
    engine::Connection catalogue;
    catalogue.open(app / "ValidacionesKOLT.db");
    catalogue.execute("Drop Table CATLOCAL");
  }
  open();
  units = {kNorte};
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport);
  const std::string text = log();
  const auto copy = text.find("\tregla 0\tSELECT * INTO CATLOCAL IN ");
  const auto rule = text.find("\tregla 6\t");
  ASSERT_NE(copy, std::string::npos) << text;
  ASSERT_NE(rule, std::string::npos) << text;
  EXPECT_LT(copy, rule) << text;
  // Its findings are not all it may hold: the verdict says how many statements failed.
  EXPECT_EQ(summary(),
            std::vector<std::string>{"DFSSA000002|TODO|A REVISAR (" +
                                     std::to_string(outcome.failedStatements) + " FALLIDAS)"});
}

TEST_F(Run, HostileUnitCodesNameFilesInsideTheResultsFolderAndKeepTheirCode) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  const std::vector<std::string> codes = {"DF/SSA0001", "..", "DF\\SSA0001", "DF:SSA0001",
                                          "../../x"};
  unitsBreakingRule1(session, codes);
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(outcome.failedStatements, 0);
  std::vector<std::string> rows;
  for (const auto& code : codes) rows.push_back(code + "|TODO|A REVISAR");
  EXPECT_EQ(summary(), rows);
  for (const char* name : {"ValDF%2FSSA0001.xls", "Val%2E%2E.xls", "ValDF%5CSSA0001.xls",
                           "ValDF%3ASSA0001.xls", "Val%2E.%2F..%2Fx.xls"})
    EXPECT_EQ(xls::sheetNames(results(name)), std::vector<std::string>{"Validacion1"}) << name;
  // Nothing was written beside the program or above it.
  std::vector<std::string> outside;
  for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
    if (!entry.path().string().starts_with(session.resultsFolder.string()))
      outside.push_back(entry.path().lexically_relative(dir.path()).string());
  std::sort(outside.begin(), outside.end());
  EXPECT_EQ(outside,
            (std::vector<std::string>{"origen.db", "programa", "programa/ValidacionesKOLT.db"}));
  EXPECT_FALSE(fs::exists(results("Validacion.tmp")));
}

TEST_F(Run, AUnitWhoseWorkingDatabaseCannotBeMadeDisturbsNoUnitBesideIt) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  // A code too long for a file name: the unit's working database cannot be created.
  const std::string tooLong(300, 'X');
  const std::vector<std::string> codes = {tooLong, "DFSSA000001", kOther};
  unitsBreakingRule1(session, codes);
  RunOutcome outcome = runValidation(test::requestFor(session, units, nullptr, nullptr, 3));
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(summary(),
            (std::vector<std::string>{tooLong + "|TODO|VALIDACION INCOMPLETA",
                                      "DFSSA000001|TODO|A REVISAR", "DFSSA000002|TODO|A REVISAR"}));
  EXPECT_NE(log().find(tooLong + "\tbase de trabajo\tError "), std::string::npos) << log();
  for (const char* name : {"ValDFSSA000001.xls", "ValDFSSA000002.xls"})
    EXPECT_EQ(xls::sheetNames(results(name)), std::vector<std::string>{"Validacion1"}) << name;
}

TEST_F(Run, AWorkbookThatCannotTakeItsNameLeavesItsUnitIncompleteAndTheOthersGoOn) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  makeSource();
  open();
  units = {kNorte, kGeneral};
  fs::create_directories(results("ValDFSSA000002.xls") / "ocupado");
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport);
  EXPECT_EQ(summary(), (std::vector<std::string>{"DFSSA000002|TODO|VALIDACION INCOMPLETA",
                                                 "DFSSA000001|TODO|CORRECTA"}));
  EXPECT_GT(outcome.failedStatements, 0);
  EXPECT_NE(log().find("DFSSA000002\tValDFSSA000002.xls\tError "), std::string::npos) << log();
  EXPECT_TRUE(fs::is_empty(results("ValDFSSA000002.xls") / "ocupado"));
}

TEST_F(Run, ARunOnAFolderInUseIsRefusedAndTouchesNothing) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  makeSource();
  open();
  validate();
  const auto before = summary();
  std::ofstream(results("Validacion.log")) << "the other run's log";
  results::ResultsFolder other(session.resultsFolder);
  const fs::path working = other.workingDatabase("DFSSA000001");
  std::ofstream(working) << "the other run's database";
  units = {kNorte};
  RunOutcome outcome = validate();
  ASSERT_TRUE(outcome.errorReport);
  EXPECT_EQ(outcome.errorReport->number, base::kErrInUse);
  EXPECT_EQ(log(), "the other run's log");
  EXPECT_TRUE(fs::exists(working));
  EXPECT_EQ(summary(), before);
  EXPECT_TRUE(fs::exists(results("ResultadosVal.xls")));
}

// Runs `then` once, when the run it observes has validated its first unit.
class AtFirstUnit : public RunObserver {
 public:
  explicit AtFirstUnit(std::function<void()> then) : then_(std::move(then)) {}
  void unitFinished(int, int, const std::string&) override {
    if (then_) std::exchange(then_, nullptr)();
  }

 private:
  std::function<void()> then_;
};

TEST_F(Run, TwoRunsOnOneSourceEachSummariseExactlyTheirOwnUnits) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  const std::vector<std::string> mine = {"DFSSA000011", "DFSSA000012", "DFSSA000013"};
  const std::vector<std::string> theirs = {"DFSSA000021", "DFSSA000022", "DFSSA000023"};
  std::vector<std::string> all = mine;
  all.insert(all.end(), theirs.begin(), theirs.end());
  unitsBreakingRule1(session, all);
  const std::vector<Unit> myUnits(units.begin(), units.begin() + 3);
  const std::vector<Unit> theirUnits(units.begin() + 3, units.end());

  // A colleague's run on the same source, with results of its own, begins and ends in the middle
  // of this one.
  Session colleague(app);
  colleague.resultsFolder = dir.path() / "colega";
  openDatabases(colleague, dir.path() / "origen.db");
  RunOutcome theirOutcome;
  AtFirstUnit meanwhile([&] {
    theirOutcome = runValidation(test::requestFor(colleague, theirUnits, nullptr, nullptr, 1));
  });
  RunOutcome myOutcome =
      runValidation(test::requestFor(session, myUnits, nullptr, nullptr, 1), &meanwhile);

  for (const auto& [outcome, folder, codes] :
       {std::tuple{&myOutcome, session.resultsFolder, mine},
        std::tuple{&theirOutcome, colleague.resultsFolder, theirs}}) {
    SCOPED_TRACE(folder.string());
    ASSERT_FALSE(outcome->errorReport) << outcome->errorReport->text();
    EXPECT_EQ(outcome->failedStatements, 0);
    std::vector<std::string> rows;
    for (const auto& code : codes) rows.push_back(code + "|TODO|A REVISAR");
    EXPECT_EQ(summaryIn(folder), rows);
  }
}

// The unit list and the verdicts were once kept in the source: a user's own engine database
// must come out of a run as it went in.
TEST_F(Run, TheSourceIsOnlyRead) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  makeSource();
  const std::string before = test::fileText(dir.path() / "origen.db");
  open();
  const RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(summary().size(), 2u);
  session.cnnOrigen.close();
  EXPECT_TRUE(test::fileText(dir.path() / "origen.db") == before) << "the source was written";
  EXPECT_FALSE(fs::exists(dir.path() / "origen.db-journal"));
}

// A code is carried whole from the list to the run: the blanks inside it or at its end are part of
// it, however the list shows it beside its name.
TEST_F(Run, UnitCodesWithBlanksAreValidatedWithTheirOwnRecords) {
  const std::vector<std::string> codes = {"DFSSA000034 ", "DF  SSA 01", " DF02", "DF03  "};
  {
    WorkingDb source(dir.path() / "origen.db");
    for (const auto& code : codes) {
      source.egreso({{"clues", code}, {"edad", 131}});
      source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD  " + code}});
    }
    WorkingDb catalogue(app / "ValidacionesKOLT.db");
  }
  open();
  std::vector<std::string> listed;
  for (const auto& unit : units) listed.push_back("[" + unit.code + "|" + unit.name + "]");
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "[ DF02|UNIDAD   DF02]", "[DF  SSA 01|UNIDAD  DF  SSA 01]",
                        "[DF03  |UNIDAD  DF03  ]", "[DFSSA000034 |UNIDAD  DFSSA000034 ]"}));
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(outcome.failedStatements, 0);
  ASSERT_EQ(outcome.units.size(), units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    SCOPED_TRACE("[" + units[i].code + "]");
    EXPECT_EQ(outcome.units[i].unit, units[i].code);
    EXPECT_EQ(outcome.units[i].name, units[i].name);
    EXPECT_EQ(outcome.units[i].verdict, "A REVISAR");
    EXPECT_EQ(outcome.units[i].findings(), 1);
  }
  for (const char* name :
       {"ValDFSSA000034%20.xls", "ValDF  SSA 01.xls", "Val DF02.xls", "ValDF03 %20.xls"})
    EXPECT_EQ(xls::sheetNames(results(name)), std::vector<std::string>{"Validacion1"}) << name;
}

}  // namespace
}  // namespace kolt::run
