// Verdicts a statistician can trust: a unit without discharges is never "CORRECTA", a catalogue is
// asked only for what the rules read, a stopped run lists only what it finished and says so.
#include <gtest/gtest.h>

#include <atomic>
#include <regex>

#include "results/findings_workbook.h"
#include "results/results_folder.h"
#include "results/verdict.h"
#include "rules/rule_plan.h"
#include "run/driver.h"
#include "run/session.h"
#include "run/unit_listing.h"
#include "schema/tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;

TEST(UnitVerdict, SaysNoMoreThanTheRunChecked) {
  // Findings, workbook written, failed statements, discharges.
  const std::pair<results::UnitFacts, const char*> cases[] = {
      {{false, false, 0, 12}, "CORRECTA"},
      {{false, false, 0, 0}, "SIN EGRESOS"},
      {{false, false, 2, 0}, "VALIDACION INCOMPLETA"},  // a failure outweighs the empty period
      {{false, false, 3, 12}, "VALIDACION INCOMPLETA"},
      {{true, true, 0, 12}, "A REVISAR"},
      {{true, true, 1, 12}, "A REVISAR (1 FALLIDA)"},
      {{true, true, 94, 12}, "A REVISAR (94 FALLIDAS)"},
      {{true, true, 0, 0}, "A REVISAR"},  // rows of other tables without a discharge
      {{true, false, 0, 12}, "VALIDACION INCOMPLETA"},
  };
  for (const auto& [facts, verdict] : cases) EXPECT_EQ(results::unitVerdict(facts), verdict);
}

// The rows of a sheet of `book` as "a|b|c", the cells' kinds left out and a local time,
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

// The check asks of a catalogue only what the rules read: a column no rule names would refuse an
// official catalogue that lacks it for nothing. catValidaciones is copied whole into every unit's
// workbook.
TEST(RunTables, EveryCatalogueColumnTheCheckAsksForIsReadByARule) {
  std::string statements;
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue())) {
    for (const auto& text : rule.statements) statements += text + "\n";
    if (rule.buildBefore != nullptr)
      for (const rules::WorkTable& work : *rule.buildBefore)
        for (std::string_view text : work.statements) statements += std::string(text) + "\n";
  }
  using schema::TableRole;
  for (const schema::Table& table : schema::allTables()) {
    if ((table.role != TableRole::ReferenceCatalogue && table.role != TableRole::CertificateLink) ||
        table.name == "catValidaciones")
      continue;
    for (const schema::Column& column : table.columns)
      EXPECT_TRUE(std::regex_search(
          statements, std::regex("\\b" + std::string(column.name) + "\\b", std::regex::icase)))
          << table.name << "." << column.name << " is asked for but no rule reads it";
  }
}

// Stops the run when DFSSA000002 reaches rule `rule`, or when it is finished (rule 0).
struct StopAt : RunObserver {
  StopAt(std::atomic<bool>& stop, int rule) : stop(stop), rule(rule) {}
  void ruleStarted(const std::string& unit, const rules::RuleProgress& p) override {
    stop = stop || (unit == "DFSSA000002" && p.rule == rule);
  }
  void unitFinished(int, int, const std::string& unit) override {
    stop = stop || (unit == "DFSSA000002" && rule == 0);
  }
  std::atomic<bool>& stop;
  int rule;
};

// The user stops the run in or after the second unit: the units finished keep their workbooks and
// are the only ones the summaries list; the others leave nothing; the folder is free; Ejecucion
// says what the run was, when, by which program, and how it ended.
TEST(Trust, AnInterruptedRunKeepsWhatItFinishedAndSaysWhatItWas) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  test::TempDir dir;
  const fs::path app = dir / "programa", source = dir / "origen.db";
  fs::create_directories(app);
  test::manyUnitSource(source, 4, 3);
  test::ruleCatalogue(app / "ValidacionesKOLT.db");
  Session session(app);
  openDatabases(session, source);
  const std::vector<Unit> units = readUnits(session.cnnOrigen).units;
  for (const int rule : {0, 40}) {
    SCOPED_TRACE("stopped at rule " + std::to_string(rule));
    test::TempDir place;
    session.resultsFolder = place / "R";
    std::atomic<bool> stop{false};
    StopAt observer(stop, rule);
    RunRequest request = test::requestFor(session, units, "01/03/2023", "31/03/2023", 1);
    request.cancel = &stop;
    const RunOutcome outcome = runValidation(request, &observer);
    ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
    const std::size_t finished = rule == 0 ? 2 : 1;
    const std::string n = std::to_string(finished);
    EXPECT_EQ(rowsOf(place / "R/ResultadosVal.xls", "Resultados").size(), finished + 1);
    for (std::size_t u = 1; u <= 4; ++u)
      EXPECT_EQ(fs::exists(place / ("R/ValDFSSA00000" + std::to_string(u) + ".xls")),
                u <= finished);
    EXPECT_NE(test::fileText(place / "R/Validacion.log").find("Validación interrumpida"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(place / "R/Validacion.tmp"));
    EXPECT_NO_THROW(results::ResultsFolder again(session.resultsFolder));
    EXPECT_NE(
        MensajeFinal(request, outcome).find("se interrumpió: se validaron " + n + " de 4 unidades"),
        std::string::npos);
    EXPECT_EQ(
        rowsOf(place / "R/Hallazgos.xls", "Ejecucion"),
        (std::vector<std::string>{
            "Dato|Valor", "Archivo de origen|" + source.string(),
            "Tamaño del origen (bytes)|" + std::to_string(fs::file_size(source)),
            "Modificación del origen|(hora local)",
            "Catálogos|" + (app / "ValidacionesKOLT.db").string(),
            "Periodo|01/03/2023 al 31/03/2023", "Unidades pedidas|4",
            "Claves de las unidades pedidas|DFSSA000001, DFSSA000002, DFSSA000003, DFSSA000004",
            "Unidades validadas|" + n, "Fecha y hora de la validación|(hora local)",
            "Versión del programa|" + std::string(results::programVersion()),
            "Reglas ejecutadas|" + std::to_string(rules::planRules(rules::ruleCatalogue()).size()),
            "Resultado de la ejecución|Interrumpida por el usuario: se validaron " + n +
                " de 4 unidades"}));
  }
}

}  // namespace
}  // namespace kolt::run
