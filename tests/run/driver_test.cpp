// Whole validation runs on engine databases made by the test builder.
#include "run/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "results/results_folder.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/working_db.h"
#include "xls/workbook.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using test::kNull;
using test::WorkingDb;

constexpr const char* kOther = "DFSSA000002";

class Run : public ::testing::Test {
 protected:
  Run() : app(dir.path() / "programa"), session(app) { fs::create_directories(app); }

  // A source with the default unit (one clean discharge) and a second unit whose discharge of the
  // 14th of March breaks rule 1.
  void makeSource(const WorkingDb::Options& options = {}) {
    WorkingDb source(dir.path() / "origen.db", options);
    source.egreso();
    source.egreso({{"clues", kOther}, {"egreso", "2023-03-14 00:00:00"}, {"edad", 131}});
    source.egreso({{"clues", kOther}, {"egreso", "2023-03-16 00:00:00"}});
    source.insert("CATCLUES", {{"CLUES", kOther}, {"DESCUNIDAD", "CLINICA NORTE"}});
    WorkingDb catalogue(app / "ValidacionesKOLT.db");
    catalogue.insert("catValidaciones",
                     {{"Validacion", 1}, {"Descripcion", "Edad fuera de rango"}});
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
    for (const auto& code : codes) units.push_back(code + "  UNIDAD");
  }

  void open() {
    openDatabases(session, dir.path() / "origen.db");
    engine::StatementLog log;
    units = CargaUnidades(session.cnnOrigen, log);
  }

  RunOutcome validate(const char* desde = nullptr, const char* hasta = nullptr) {
    return runValidation(session.cnnOrigen, test::requestFor(session, units, desde, hasta));
  }

  std::vector<std::string> summary() {
    std::vector<std::string> out;
    engine::Recordset rs = session.cnnOrigen.openRecordset("select * from RESULTADOSVALIDACION");
    for (; !rs.eof(); rs.moveNext())
      out.push_back(test::text(rs.field("Unidad")) + "|" + test::text(rs.field("PERIODO")) + "|" +
                    test::text(rs.field("RESULTADO")));
    return out;
  }

  fs::path results(const std::string& name) { return session.resultsFolder / name; }

  std::string log() {
    std::ifstream in(results("Validacion.log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  test::TempDir dir;
  fs::path app;
  Session session;
  std::vector<std::string> units;  // the units the run validates, as the list shows them
};

TEST_F(Run, CleanUnitIsCorrectaAndUnitWithFindingsGetsItsWorkbook) {
  makeSource();
  open();
  ASSERT_EQ(units, (std::vector<std::string>{"DFSSA000001  HOSPITAL GENERAL",
                                             "DFSSA000002  CLINICA NORTE"}));
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

  // A second run replaces the summary and the unit's workbook.
  units = {"DFSSA000002  CLINICA NORTE"};
  validate("15/03/2023", "16/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{
                           "DFSSA000002|Fechaini: #2023/03/15#, Fechafin: #2023/03/16#|CORRECTA"});
  EXPECT_FALSE(fs::exists(results("ValDFSSA000002.xls")));
}

TEST_F(Run, PeriodBoundsAreInclusiveOnEitherSide) {
  makeSource();
  open();
  units = {"DFSSA000002  CLINICA NORTE"};
  validate("14/03/2023", "14/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{
                           "DFSSA000002|Fechaini: #2023/03/14#, Fechafin: #2023/03/14#|A REVISAR"});
  validate(nullptr, "14/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{"DFSSA000002| Fechafin: #2023/03/14#|A REVISAR"});
  validate("15/03/2023");
  EXPECT_EQ(summary(), std::vector<std::string>{"DFSSA000002|Fechaini: #2023/03/15#|CORRECTA"});
}

TEST_F(Run, QuotesInUnitCodesAndPathsStayInsideTheirValues) {
  fs::create_directories(dir.path() / "o'brien");
  Session quoted(dir.path() / "o'brien");
  unitsBreakingRule1(quoted, {"DF'SSA0001"});
  RunOutcome outcome = runValidation(quoted.cnnOrigen, test::requestFor(quoted, units));
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(outcome.failedStatements, 0);
  EXPECT_TRUE(fs::exists(quoted.resultsFolder / "ValDF'SSA0001.xls"));
  EXPECT_EQ(quoted.cnnOrigen
                .openRecordset("select RESULTADO from RESULTADOSVALIDACION where "
                               "Unidad = 'DF''SSA0001'")
                .recordCount(),
            1);
}

TEST_F(Run, FailedStatementsAreLoggedAndNeverPassForCorrect) {
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
  makeSource();
  open();
  session.cnnOrigen.execute("Drop Table OBSTET");
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
  // Without CATLOCAL in the catalogue its copy fails, and so does rule 6, which reads it.
  makeSource();
  {
    engine::Connection catalogue;
    catalogue.open(app / "ValidacionesKOLT.db");
    catalogue.execute("Drop Table CATLOCAL");
  }
  open();
  units = {"DFSSA000002  CLINICA NORTE"};
  RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport);
  const std::string text = log();
  const auto copy = text.find("\tregla 0\tSELECT * INTO CATLOCAL IN ");
  const auto rule = text.find("\tregla 6\t");
  ASSERT_NE(copy, std::string::npos) << text;
  ASSERT_NE(rule, std::string::npos) << text;
  EXPECT_LT(copy, rule) << text;
  EXPECT_EQ(summary(), std::vector<std::string>{"DFSSA000002|TODO|A REVISAR"});
}

TEST_F(Run, HostileUnitCodesNameFilesInsideTheResultsFolderAndKeepTheirCode) {
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
  // A code too long for a file name: the unit's working database cannot be created.
  const std::string tooLong(300, 'X');
  const std::vector<std::string> codes = {tooLong, "DFSSA000001", kOther};
  unitsBreakingRule1(session, codes);
  RunOutcome outcome =
      runValidation(session.cnnOrigen, test::requestFor(session, units, nullptr, nullptr, 3));
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(summary(),
            (std::vector<std::string>{tooLong + "|TODO|VALIDACION INCOMPLETA",
                                      "DFSSA000001|TODO|A REVISAR", "DFSSA000002|TODO|A REVISAR"}));
  EXPECT_NE(log().find(tooLong + "\tbase de trabajo\tError "), std::string::npos) << log();
  for (const char* name : {"ValDFSSA000001.xls", "ValDFSSA000002.xls"})
    EXPECT_EQ(xls::sheetNames(results(name)), std::vector<std::string>{"Validacion1"}) << name;
}

TEST_F(Run, AWorkbookThatCannotTakeItsNameLeavesItsUnitIncompleteAndTheOthersGoOn) {
  makeSource();
  open();
  units = {"DFSSA000002  CLINICA NORTE", "DFSSA000001  HOSPITAL GENERAL"};
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
  makeSource();
  open();
  validate();
  const auto before = summary();
  std::ofstream(results("Validacion.log")) << "the other run's log";
  results::ResultsFolder other(session.resultsFolder);
  const fs::path working = other.workingDatabase("DFSSA000001");
  std::ofstream(working) << "the other run's database";
  units = {"DFSSA000002  CLINICA NORTE"};
  RunOutcome outcome = validate();
  ASSERT_TRUE(outcome.errorReport);
  EXPECT_EQ(outcome.errorReport->number, base::kErrInUse);
  EXPECT_EQ(log(), "the other run's log");
  EXPECT_TRUE(fs::exists(working));
  EXPECT_EQ(summary(), before);
  EXPECT_TRUE(fs::exists(results("ResultadosVal.xls")));
}

}  // namespace
}  // namespace kolt::run
