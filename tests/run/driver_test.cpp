// Whole validation runs on engine databases made by the test builder, from a program folder whose
// name holds a quote, which every statement naming a file must keep inside its value.
#include "run/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <regex>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "base/platform/files.h"
#include "results/findings_workbook.h"
#include "results/history.h"
#include "results/results_folder.h"
#include "rules/rule_plan.h"
#include "run/file_fingerprint.h"
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
using test::WorkingDb;

// The rows of `sheet` in `book` as "a|b|c", the cells' kinds left out and a local time,
// "aaaa-mm-dd hh:mm:ss", as "(hora local)".
std::vector<std::string> rowsOf(const fs::path& book, const std::string& sheet) {
  std::vector<std::string> rows;
  for (const auto& cells : test::sheet(test::readBack(book), sheet)) {
    std::string row;
    for (const auto& cell : cells)
      row += (row.empty() ? "" : "|") + cell.substr(cell.find(':') + 1);
    rows.push_back(std::regex_replace(
        row, std::regex("\\|20\\d\\d-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"), "|(hora local)"));
  }
  return rows;
}

// The cells of a row of rowsOf.
std::vector<std::string> split(const std::string& row) {
  std::vector<std::string> cells(1);
  for (char c : row) c == '|' ? void(cells.emplace_back()) : void(cells.back() += c);
  cells.resize(std::max<std::size_t>(cells.size(), 8));
  return cells;
}

class Run : public ::testing::Test {
 protected:
  Run() : app(dir.path() / "o'brien"), session(app) { fs::create_directories(app); }
  void SetUp() override { KOLT_NEEDS_LINUX_TOOL(Xlrd); }

  void makeSource() {
    test::twoUnitSource(dir.path() / "origen.db");
    test::ruleCatalogue(app / "ValidacionesKOLT.db");
  }

  void open() {
    openDatabases(session, dir.path() / "origen.db");
    engine::StatementLog log;
    units = CargaUnidades(session.cnnOrigen, log);
  }

  RunOutcome validate(const char* desde = nullptr, const char* hasta = nullptr) {
    return runValidation(test::requestFor(session, units, desde, hasta));
  }

  // The rows of the summary workbook, "{unit}|{period}|{verdict}", its heading left out.
  std::vector<std::string> summary() {
    std::vector<std::string> rows = rowsOf(results("ResultadosVal.xls"), "Resultados");
    return rows.empty() ? rows : std::vector<std::string>(rows.begin() + 1, rows.end());
  }
  fs::path results(const std::string& name) { return session.resultsFolder / name; }
  std::string log() { return test::fileText(results("Validacion.log")); }

  test::TempDir dir;
  fs::path app;
  Session session;
  std::vector<Unit> units;  // the units the run validates
};

// The unit list and the verdicts were once kept in the source: a user's own engine database must
// come out of the runs as it went in.
TEST_F(Run, VerdictsWorkbooksAndPeriodsOfRunsThatOnlyReadTheSource) {
  makeSource();
  const std::string before = test::fileText(dir.path() / "origen.db");
  open();
  const RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(outcome.failedStatements, 0);
  EXPECT_EQ(summary(),
            (std::vector<std::string>{"DFSSA000001|TODO|CORRECTA", "DFSSA000002|TODO|A REVISAR"}));
  EXPECT_FALSE(fs::exists(results("ValDFSSA000001.xls")));
  EXPECT_EQ(xls::sheetNames(results("ValDFSSA000002.xls")),
            (std::vector<std::string>{"Validacion1", "catValidaciones", "Resumen", "Seguimiento"}));
  EXPECT_EQ(xls::sheetNames(results("ResultadosVal.xls")), std::vector<std::string>{"Resultados"});

  // Each run replaces the summary and the unit's workbook; a period's bounds are both included.
  units.erase(units.begin());
  const std::pair<std::vector<const char*>, std::string> periods[] = {
      {{"14/03/2023", "14/03/2023"}, "Fechaini: #2023/03/14#, Fechafin: #2023/03/14#|A REVISAR"},
      {{nullptr, "14/03/2023"}, " Fechafin: #2023/03/14#|A REVISAR"},
      {{"15/03/2023", nullptr}, "Fechaini: #2023/03/15#|CORRECTA"}};
  for (const auto& [bounds, row] : periods) {
    validate(bounds[0], bounds[1]);
    EXPECT_EQ(summary(), std::vector<std::string>{"DFSSA000002|" + row});
  }
  EXPECT_FALSE(fs::exists(results("ValDFSSA000002.xls")));
  session.cnnOrigen.close();
  EXPECT_TRUE(test::fileText(dir.path() / "origen.db") == before) << "the source was written";
  EXPECT_FALSE(fs::exists(dir.path() / "origen.db-journal"));
}

// The monthly cycle: a unit validated, its file corrected (one record fixed, one still wrong with
// another wrong value, one wrong for the first time), validated again. The record's rows of rules
// 1 and 3 are the ones this test makes; other rules are judged by the same counts in both sheets.
TEST_F(Run, ASecondRunSaysWhatWasCorrectedWhatPersistsAndWhatIsNew) {
  const fs::path source = dir.path() / "origen.db";
  test::ruleCatalogue(app / "ValidacionesKOLT.db");
  auto write = [&](std::vector<test::Cells> discharges) {
    fs::remove(source);
    test::WorkingDb db(source);
    for (const auto& cells : discharges) db.egreso(cells);
    // A unit CATCLUES lacks, which no run validates and every summary names.
    db.egreso({{"folio", "9"}, {"clues", "DFSSA000999"}});
  };
  write({{{"folio", "1"}, {"edad", 131}},
         {{"folio", "2"}, {"edad", 140}},
         {{"folio", "3"}, {"sexo", "9"}}});
  open();
  ASSERT_FALSE(validate().errorReport);
  write({{{"folio", "1"}, {"edad", 150}},
         {{"folio", "2"}, {"edad", 40}},
         {{"folio", "3"}, {"sexo", "9"}},
         {{"folio", "4"}, {"edad", 200}}});
  open();
  const RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();

  const fs::path book = results("ValDFSSA000001.xls");
  EXPECT_EQ(test::readBack(book).activeSheet, 3u);
  std::vector<std::string> ours;
  std::map<std::string, int> states;
  for (const std::string& row : rowsOf(book, "Seguimiento")) {
    const auto cells = split(row);
    if (cells[0] == "Folio") continue;
    ++states[cells[4]];
    if (cells[2] == "1" || cells[2] == "3")
      ours.push_back(cells[0] + " " + cells[2] + " " + cells[4]);
  }
  EXPECT_EQ(ours, (std::vector<std::string>{"1 1 Persiste", "2 1 Corregido", "3 3 Persiste",
                                            "4 1 Nuevo"}));
  // Hallazgos.xls counts what the unit's own sheet lists.
  const std::vector<std::string> followUp = rowsOf(results("Hallazgos.xls"), "Seguimiento");
  ASSERT_EQ(followUp.size(), 2u);
  const auto unit = split(followUp[1]);
  EXPECT_EQ(unit[0], "DFSSA000001");
  EXPECT_EQ(unit[5], std::to_string(states["Nuevo"]));
  EXPECT_EQ(unit[6], std::to_string(states["Persiste"]));
  EXPECT_EQ(unit[7], std::to_string(states["Corregido"]));
  EXPECT_EQ(unit[4], std::to_string(states["Nuevo"] + states["Persiste"]));
  const std::string unvalidated = rowsOf(results("Hallazgos.xls"), "PorUnidad").back();
  EXPECT_TRUE(unvalidated.starts_with("DFSSA000999||TODO|NO VALIDADA (no está en CATCLUES)|1"))
      << unvalidated;
  EXPECT_EQ(results::History::list(session.resultsFolder).size(), 2u);
  // The rows are in the workbooks and the history: the units handed back keep their counts, and
  // none of the findings' storage, which a national run's hundreds of units would hold to its end.
  for (const results::UnitResult& validated : outcome.units) {
    EXPECT_EQ(validated.found.capacity(), 0u);
    EXPECT_EQ(validated.changes.findings.capacity(), 0u);
    EXPECT_TRUE(validated.changes.byRule.empty());
  }
  EXPECT_NE(MensajeFinal(test::requestFor(session, units), outcome)
                .find("DFSSA000001: +" + std::to_string(states["Nuevo"]) +
                      (states["Nuevo"] == 1 ? " nuevo, " : " nuevos, ") +
                      std::to_string(states["Corregido"])),
            std::string::npos);
}

// A history that cannot be opened never stops a run, and never lets its units pass silently for
// first validations.
TEST_F(Run, AHistoryThatCannotBeOpenedIsSaidAndTheRunGoesOn) {
  makeSource();
  open();
  fs::create_directories(session.resultsFolder / results::kHistorial);
  const RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_EQ(summary().size(), 2u);
  const std::string said = MensajeFinal(test::requestFor(session, units), outcome);
  EXPECT_NE(said.find("Historial.db"), std::string::npos) << said;
  EXPECT_NE(log().find("Historial.db"), std::string::npos) << log();
}

TEST_F(Run, MissingTableForTheFirstUnitAbandonsTheRunBeforeAnyVerdict) {
  makeSource();
  engine::Connection source;
  source.open(dir.path() / "origen.db");
  source.execute("Drop Table OBSTET");
  open();
  RunOutcome outcome = validate();
  ASSERT_TRUE(outcome.errorReport);
  EXPECT_EQ(outcome.errorReport->number, base::kErrNoSuchTable);
  EXPECT_FALSE(fs::exists(results("ResultadosVal.xls")));
  // Only the failed copy is in the log, once, and the abandonment does not repeat its error.
  const std::string text = log();
  EXPECT_EQ(text.find("Error 0 -"), std::string::npos) << text;
  EXPECT_NE(text.find("\tSELECT * INTO OBSTET IN "), std::string::npos) << text;
  EXPECT_EQ(text.find("SELECT * INTO EGRESO IN "), std::string::npos) << text;
  EXPECT_EQ(text.find("La tabla 'OBSTET' no existe"), text.rfind("La tabla 'OBSTET' no existe"));
  EXPECT_NE(text.find("Validación abandonada por el error anterior."), std::string::npos);
}

// Three units, not in code order to show the list's order is kept: one with two findings of rule 3
// and one of rule 1, one with a finding of rule 1, and one without findings. Without EGRESO.derhab
// rules 4 and 5 cannot run, and without CATLOCAL in the catalogue neither can its copy nor rule 6,
// which reads it. The unit without findings must not pass for "CORRECTA", the others' findings are
// not all they may hold, the failures are logged in the order they ran, and Hallazgos.xls counts a
// rule that failed as failed, never as nothing found, and any other as the rows of the unit's
// sheet.
TEST_F(Run, FailedRulesAreLoggedInOrderCountedApartAndNeverPassForCorrect) {
  {
    WorkingDb source(dir.path() / "origen.db", {.omitColumns = {{"EGRESO", "derhab"}}});
    source.egreso().egreso({{"clues", "DFSSA000002"}, {"edad", 131}});
    source.egreso({{"clues", "DFSSA000003"}, {"sexo", "3"}});
    source.egreso({{"clues", "DFSSA000003"}, {"sexo", "3"}, {"edad", 0}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000002"}, {"DESCUNIDAD", "CLINICA NORTE"}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000003"}, {"DESCUNIDAD", "CLINICA SUR"}});
    WorkingDb(app / "ValidacionesKOLT.db").connection().execute("Drop Table CATLOCAL");
  }
  open();
  std::swap(units[0], units[2]);
  const RunOutcome outcome = validate();
  ASSERT_FALSE(outcome.errorReport);
  EXPECT_EQ(summary(), (std::vector<std::string>{"DFSSA000003|TODO|A REVISAR (4 FALLIDAS)",
                                                 "DFSSA000002|TODO|A REVISAR (4 FALLIDAS)",
                                                 "DFSSA000001|TODO|VALIDACION INCOMPLETA"}));
  EXPECT_TRUE(std::regex_search(
      log(), std::regex("DFSSA000002\tregla 0\tSELECT \\* INTO CATLOCAL IN "
                        "[\\s\\S]*DFSSA000002\tregla 4\t[\\s\\S]*DFSSA000002\tregla 6\t")))
      << log();

  ASSERT_EQ(outcome.findingsWorkbook, results("Hallazgos.xls"));
  EXPECT_EQ(xls::sheetNames(outcome.findingsWorkbook),
            (std::vector<std::string>{"PorUnidad", "PorRegla", "Ejecucion", "Seguimiento"}));
  // Unit, name, period, verdict, discharges, findings, rules with findings, failed statements; then
  // the rules, those that failed not counted, and nothing found by any rule after the seventh.
  const std::vector<std::string> rows = rowsOf(outcome.findingsWorkbook, "PorUnidad");
  const std::vector<rules::PlannedRule> plan = rules::planRules(rules::ruleCatalogue());
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(std::count(rows[0].begin(), rows[0].end(), '|') - 7, std::ssize(plan));
  const std::string starts[] = {
      "Unidad|Nombre|PERIODO|RESULTADO|Egresos|Hallazgos|Reglas|Fallidas|V1|V2|V3|V4|V5|V6|V7|",
      "DFSSA000003|CLINICA SUR|TODO|A REVISAR (4 FALLIDAS)|2|3|2|4|1|0|2||||0|",
      "DFSSA000002|CLINICA NORTE|TODO|A REVISAR (4 FALLIDAS)|1|1|1|4|1|0|0||||0|",
      "DFSSA000001|HOSPITAL GENERAL|TODO|VALIDACION INCOMPLETA|1|0|0|4|0|0|0||||0|"};
  EXPECT_TRUE(rows[0].starts_with(starts[0])) << rows[0];
  std::string zeros = "0";  // V8 onwards
  for (auto v = 8; v < std::ssize(plan); ++v) zeros += "|0";
  for (std::size_t u = 1; u < 4; ++u) EXPECT_EQ(rows[u], starts[u] + zeros);
  // Number, description, units with findings, findings, units where the rule failed.
  const std::vector<std::string> perRule = rowsOf(outcome.findingsWorkbook, "PorRegla");
  EXPECT_EQ(perRule.at(0), "Validacion|Descripcion|Unidades|Hallazgos|Fallida");
  for (const auto& [row, ends] : {std::pair{1, "|2|2|0"}, {3, "|1|2|0"}, {4, "|0|0|3"}})
    EXPECT_EQ(perRule.at(row), std::to_string(row) + "|" + plan[row - 1].description + ends);
}

// Codes no file name can hold, with a quote, with blanks inside or at either end, or too long for
// any file name (its working database cannot be made), and a unit whose workbook's name a folder
// has taken: each unit is validated with its own records and keeps its code whole, its files stay
// inside the results folder, and a unit whose files cannot be made leaves only itself incomplete.
TEST_F(Run, HostileUnitCodesNameFilesInsideTheResultsFolderAndDisturbNoOtherUnit) {
  const std::string tooLong(300, 'X');
  {
    WorkingDb source(dir.path() / "origen.db");  // each unit's one discharge breaks rule 1
    for (const std::string code :
         {"DF/SSA0001", "..", "DF\\SSA0001", "DF:SSA0001", "../../x", "DF'SSA0001", tooLong.c_str(),
          "DFSSA000002", "DFSSA000034 ", "DF  SSA 01", " DF02"})
      source.egreso({{"clues", code}, {"edad", 131}})
          .insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
    WorkingDb catalogue(app / "ValidacionesKOLT.db");
  }
  open();
  ASSERT_EQ(units.size(), 11u);
  fs::create_directories(results("ValDFSSA000002.xls") / "ocupado");
  RunOutcome outcome = runValidation(test::requestFor(session, units, nullptr, nullptr, 3));
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  // The long code's working database cannot be made, nor its previous workbook (none) be taken
  // away; the new workbook of DFSSA000002 cannot take the folder's place.
  EXPECT_EQ(outcome.failedStatements, 3);
  std::vector<std::string> rows;
  for (const Unit& unit : units)
    rows.push_back(unit.code + (unit.code == tooLong || unit.code == "DFSSA000002"
                                    ? "|TODO|VALIDACION INCOMPLETA"
                                    : "|TODO|A REVISAR"));
  EXPECT_EQ(summary(), rows);
  EXPECT_NE(log().find(tooLong + "\tbase de trabajo\tError "), std::string::npos) << log();
  EXPECT_NE(log().find("DFSSA000002\tValDFSSA000002.xls\tError "), std::string::npos) << log();
  EXPECT_TRUE(fs::is_empty(results("ValDFSSA000002.xls") / "ocupado"));
  for (const char* name : {"ValDF%2FSSA0001.xls", "Val%2E%2E.xls", "ValDF%5CSSA0001.xls",
                           "ValDF%3ASSA0001.xls", "Val%2E.%2F..%2Fx.xls", "ValDF'SSA0001.xls",
                           "ValDFSSA000034%20.xls", "ValDF  SSA 01.xls", "Val DF02.xls"})
    EXPECT_EQ(xls::sheetNames(results(name)),
              (std::vector<std::string>{"Validacion1", "Resumen", "Seguimiento"}))
        << name;
  EXPECT_FALSE(fs::exists(results("Validacion.tmp")));
}

// Stops the run when DFSSA000002 reaches rule `rule`, or when it is finished (rule 0).
struct StopAt : RunObserver {
  explicit StopAt(int rule) : rule(rule) {}
  void ruleStarted(const std::string& unit, const rules::RuleProgress& p) override {
    stop = stop || (unit == "DFSSA000002" && p.rule == rule);
  }
  void unitFinished(int, int, const std::string& unit) override {
    stop = stop || (unit == "DFSSA000002" && rule == 0);
  }
  std::atomic<bool> stop{false};
  int rule;
};

// The user stops the run in or after the second unit: the units finished keep their workbooks and
// are the only ones the summaries list; the others leave nothing; the folder is free; Ejecucion
// says what the run was, when, by which program, and how it ended.
TEST_F(Run, AnInterruptedRunKeepsWhatItFinishedAndSaysWhatItWas) {
  const fs::path source = dir.path() / "origen.db";
  test::manyUnitSource(source, 4, 3);
  test::ruleCatalogue(app / "ValidacionesKOLT.db");
  open();
  for (const int rule : {0, 40}) {
    SCOPED_TRACE("stopped at rule " + std::to_string(rule));
    test::TempDir place;
    session.resultsFolder = place / "R";
    StopAt observer(rule);
    RunRequest request = test::requestFor(session, units, "01/03/2023", "31/03/2023", 1);
    request.cancel = &observer.stop;
    const RunOutcome outcome = runValidation(request, &observer);
    ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
    const std::size_t finished = rule == 0 ? 2 : 1;
    const std::string n = std::to_string(finished);
    EXPECT_EQ(summary().size(), finished);
    for (std::size_t u = 1; u <= 4; ++u)
      EXPECT_EQ(fs::exists(results("ValDFSSA00000" + std::to_string(u) + ".xls")), u <= finished);
    EXPECT_NE(log().find("Validación interrumpida"), std::string::npos);
    EXPECT_FALSE(fs::exists(results("Validacion.tmp")));
    EXPECT_NO_THROW(results::ResultsFolder again(session.resultsFolder));
    EXPECT_NE(
        MensajeFinal(request, outcome).find("se interrumpió: se validaron " + n + " de 4 unidades"),
        std::string::npos);
    EXPECT_EQ(
        rowsOf(results("Hallazgos.xls"), "Ejecucion"),
        (std::vector<std::string>{
            "Dato|Valor", "Archivo de origen|" + source.string(),
            "Tamaño del origen (bytes)|" + std::to_string(fs::file_size(source)),
            "Modificación del origen|(hora local)",
            "Catálogos|" + (app / "ValidacionesKOLT.db").string(),
            "CATÁLOGO DE DEMOSTRACIÓN|Se usó el catálogo de demostración, no el oficial: los "
            "hallazgos que dependen de él no son válidos.",
            "SHA-256 de los catálogos|" + *fileSha256(app / "ValidacionesKOLT.db"),
            "Periodo|01/03/2023 al 31/03/2023", "Unidades pedidas|4",
            "Claves de las unidades pedidas|DFSSA000001, DFSSA000002, DFSSA000003, DFSSA000004",
            "Unidades validadas|" + n, "Fecha y hora de la validación|(hora local)",
            "Versión del programa|" + std::string(results::programVersion()),
            "Reglas ejecutadas|" + std::to_string(rules::planRules(rules::ruleCatalogue()).size()),
            "Resultado de la ejecución|Interrumpida por el usuario: se validaron " + n +
                " de 4 unidades"}));
  }
}

#ifndef _WIN32
// Ends the process on the spot, as a SIGKILL or a power cut does, when the run reaches a chosen
// step: once `afterUnits` units are finished, or before it puts the `beforePlacing`-th file of its
// results in place.
struct KillAt : RunObserver {
  KillAt(int afterUnits, int beforePlacing)
      : afterUnits(afterUnits), beforePlacing(beforePlacing) {}
  void unitFinished(int done, int, const std::string&) override {
    if (done == afterUnits) ::raise(SIGKILL);
  }
  void placing(const fs::path&) override {
    if (++placed == beforePlacing) ::raise(SIGKILL);
  }
  int afterUnits, beforePlacing, placed = 0;
};

// A run of three of four units, killed at each step that changes what the folder holds, after a
// finished run of all four: the folder is the finished run's, whole, or it says that a run did not
// finish and what it was doing; a summary of the finished run never sits beside a workbook of the
// killed one, and the fourth unit keeps its workbook. The next run tells of the one killed.
TEST_F(Run, AKilledRunLeavesTheFolderWholeOrSaysSo) {
  test::manyUnitSource(dir.path() / "origen.db", 4, 3);
  test::ruleCatalogue(app / "ValidacionesKOLT.db");
  open();
  ASSERT_EQ(units.size(), 4u);
  const std::vector<Unit> someUnits(units.begin(), units.begin() + 3);
  const std::vector<std::string> books = {"ValDFSSA000001.xls", "ValDFSSA000002.xls",
                                          "ValDFSSA000003.xls", "ValDFSSA000004.xls",
                                          "ResultadosVal.xls",  "Hallazgos.xls"};
  // Which file of the disk each name is, and since when: a file put in place by a later run is
  // another one, even where the disk gives it the number of a file removed.
  auto files = [&] {
    std::map<std::string, std::optional<std::pair<std::uint64_t, std::int64_t>>> found;
    for (const auto& name : books) {
      if (const auto stamp = platform::fileStamp(results(name)))
        found[name] = std::pair(stamp->inode, stamp->changedNs);
      else
        found[name] = std::nullopt;
    }
    return found;
  };
  // Steps, in the order the run reaches them: the files it places are the two previous summaries'
  // removals, the three units' workbooks, then the two new summaries.
  const std::pair<int, int> steps[] = {{1, 0}, {3, 0}, {0, 1}, {0, 3},
                                       {0, 4}, {0, 6}, {0, 7}, {0, 0}};
  for (const auto& [afterUnits, beforePlacing] : steps) {
    SCOPED_TRACE(std::to_string(afterUnits) + " units, placing " + std::to_string(beforePlacing));
    test::TempDir place;
    session.resultsFolder = place / "R";
    const fs::path notice = results(results::kUnfinishedNotice);
    ASSERT_FALSE(runValidation(test::requestFor(session, units, nullptr, nullptr, 2)).errorReport);
    const auto finished = files();
    const bool killing = afterUnits > 0 || (beforePlacing > 0 && beforePlacing <= 7);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillAt killer(afterUnits, beforePlacing);
      runValidation(test::requestFor(session, someUnits, "01/03/2023", "31/03/2023", 1), &killer);
      ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL, killing);

    const auto left = files();
    EXPECT_EQ(left.at("ValDFSSA000004.xls"), finished.at("ValDFSSA000004.xls"));
    // The history keeps a run whole or not at all.
    EXPECT_EQ(results::History::list(session.resultsFolder).size(), killing ? 1u : 2u);
    bool anyNewBook = false;
    for (const auto& name : books)
      anyNewBook = anyNewBook || (name.starts_with("Val") && left.at(name) != finished.at(name));
    auto kept = [&](const std::string& name) {
      return left.at(name) && left.at(name) == finished.at(name);
    };
    const bool oldSummary = kept("ResultadosVal.xls") || kept("Hallazgos.xls");
    const bool unchanged = left == finished;
    const std::string said = fs::exists(notice) ? test::fileText(notice) : "";
    if (!killing) {
      EXPECT_EQ(said, "");
      EXPECT_TRUE(anyNewBook && !oldSummary);
      EXPECT_TRUE(
          log().ends_with("\t-\tFin de la validación: 3 unidades validadas, 9 hallazgos.\n"))
          << log();
    } else {
      EXPECT_EQ(log().find("Fin de la validación"), std::string::npos) << log();
      EXPECT_NE(said.find("La validación iniciada el "), std::string::npos) << said;
      EXPECT_NE(said.find("3 unidades: DFSSA000001, DFSSA000002, DFSSA000003"), std::string::npos)
          << said;
      // The killed run's workbooks never pass for those the finished run's summaries describe.
      EXPECT_FALSE(anyNewBook && oldSummary);
      if (afterUnits > 0) {
        EXPECT_TRUE(unchanged);
        EXPECT_NE(said.find("No cambió ningún libro"), std::string::npos) << said;
      } else {
        EXPECT_NE(said.find("estaba guardando sus resultados"), std::string::npos) << said;
        EXPECT_EQ(unchanged, beforePlacing == 1);
      }
    }

    const RunRequest next = test::requestFor(session, units, nullptr, nullptr, 2);
    const RunOutcome outcome = runValidation(next);
    ASSERT_FALSE(outcome.errorReport);
    const std::string toldOf = "anterior en esta carpeta no terminó: La validación iniciada el ";
    EXPECT_EQ(log().find(toldOf) != std::string::npos, killing) << log();
    EXPECT_EQ(MensajeFinal(next, outcome).find(toldOf) != std::string::npos, killing);
    EXPECT_FALSE(fs::exists(notice));
    EXPECT_FALSE(fs::exists(results("Validacion.tmp")));
    EXPECT_EQ(summary().size(), 4u);
  }
}
#endif

}  // namespace
}  // namespace kolt::run
