// Verdicts a statistician can trust: a unit without discharges is never "CORRECTA", a catalogue or
// source that lacks what the rules read is refused before any unit runs, a run stopped by the user
// lists only what it finished, and the findings workbook says what the run was.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <fstream>
#include <functional>
#include <sstream>

#include "results/findings_workbook.h"
#include "results/results_folder.h"
#include "results/verdict.h"
#include "rules/rule_plan.h"
#include "run/driver.h"
#include "run/session.h"
#include "run/table_check.h"
#include "run/unit_listing.h"
#include "schema/tables.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "support/working_db.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using test::WorkingDb;

TEST(UnitVerdict, SaysNoMoreThanTheRunChecked) {
  struct Case {
    results::UnitFacts facts;
    const char* verdict;
  };
  const Case cases[] = {
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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.verdict);
    EXPECT_EQ(results::unitVerdict(c.facts), c.verdict);
  }
}

// The rows of a sheet as "a|b|c", the cells' kinds left out.
std::vector<std::string> rowsOf(const test::SheetCells& cells) {
  std::vector<std::string> rows;
  for (const auto& cellsOfRow : cells) {
    std::string row;
    for (const auto& cell : cellsOfRow)
      row += (row.empty() ? "" : "|") + cell.substr(cell.find(':') + 1);
    rows.push_back(row);
  }
  return rows;
}

class Trust : public ::testing::Test {
 protected:
  Trust() : app(dir.path() / "programa"), session(app) { fs::create_directories(app); }

  // Units DFSSA000001 to DFSSA00000{count}, each with `perUnit` discharges of March 2023 that
  // break rule 1, in a source and a catalogue with every table; `extra` adds to the source.
  void makeSource(int count, int perUnit = 1,
                  const std::function<void(WorkingDb&)>& extra = nullptr) {
    {
      WorkingDb source(dir.path() / "origen.db");
      for (int u = 1; u <= count; ++u) {
        const std::string code = "DFSSA00000" + std::to_string(u);
        for (int d = 0; d < perUnit; ++d) source.egreso({{"clues", code}, {"edad", 131}});
        // The first is the builder's own unit, always in CATCLUES.
        if (u > 1) source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
      }
      if (extra) extra(source);
      WorkingDb catalogue(app / "ValidacionesKOLT.db");
    }
    openDatabases(session, dir.path() / "origen.db");
    units = readUnits(session.cnnOrigen).units;
  }

  RunOutcome validate(const char* desde = nullptr, const char* hasta = nullptr,
                      const std::atomic<bool>* cancel = nullptr, RunObserver* observer = nullptr) {
    RunRequest request = test::requestFor(session, units, desde, hasta, 1);
    request.cancel = cancel;
    return runValidation(request, observer);
  }

  test::SheetCells sheetOf(const std::string& book, const std::string& sheet) {
    return test::sheet(test::readBack(session.resultsFolder / book), sheet);
  }

  std::string log() {
    std::ifstream in(session.resultsFolder / "Validacion.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  test::TempDir dir;
  fs::path app;
  Session session;
  std::vector<Unit> units;
};

// The data are of 2023 and the period asked is 2024: nothing was checked, and no unit may be
// certified for it.
TEST_F(Trust, APeriodWithoutDischargesCertifiesNoUnit) {
  makeSource(2);
  RunOutcome outcome = validate("01/01/2024", "31/12/2024");
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  EXPECT_TRUE(nothingChecked(outcome));
  const std::string period = "Fechaini: #2024/01/01#, Fechafin: #2024/12/31#";
  EXPECT_EQ(rowsOf(sheetOf("ResultadosVal.xls", "Resultados")),
            (std::vector<std::string>{"Unidad|PERIODO|RESULTADO",
                                      "DFSSA000001|" + period + "|SIN EGRESOS",
                                      "DFSSA000002|" + period + "|SIN EGRESOS"}));
  const test::SheetCells perUnit = sheetOf("Hallazgos.xls", "PorUnidad");
  EXPECT_EQ(std::vector<std::string>(perUnit[0].begin() + 3, perUnit[0].begin() + 6),
            (std::vector<std::string>{"text:RESULTADO", "text:Egresos", "text:Hallazgos"}));
  EXPECT_EQ(perUnit[1][4], "number:0");
  const std::string message = MensajeFinal(test::requestFor(session, units), outcome);
  EXPECT_NE(message.find("\nNinguna unidad tiene egresos en el periodo pedido"), std::string::npos)
      << message;

  // One unit with discharges in the period: only the other is without them.
  {
    engine::Connection source;
    source.open(dir.path() / "origen.db");
    source.executeNative(
        "UPDATE EGRESO SET egreso = '2024-05-02 00:00:00' WHERE clues = 'DFSSA000002'");
  }
  outcome = validate("01/01/2024", "31/12/2024");
  EXPECT_FALSE(nothingChecked(outcome));
  ASSERT_EQ(outcome.units.size(), 2u);
  EXPECT_EQ(outcome.units[0].verdict, "SIN EGRESOS");
  EXPECT_EQ(outcome.units[1].verdict, "A REVISAR");
  EXPECT_EQ(outcome.units[1].discharges, 1);
  EXPECT_EQ(sheetOf("Hallazgos.xls", "PorUnidad")[2][4], "number:1");
  EXPECT_NE(MensajeFinal(test::requestFor(session, units), outcome)
                .find("\nLa unidad DFSSA000001 no tiene egresos en el periodo pedido"),
            std::string::npos);
}

// The check asks of a catalogue only what the rules read: a column no rule names would refuse an
// official catalogue that lacks it for nothing. catValidaciones is the exception, copied whole into
// every unit's workbook.
TEST(RunTables, EveryCatalogueColumnTheCheckAsksForIsReadByARule) {
  std::string statements;
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue())) {
    for (const auto& text : rule.statements) statements += text + "\n";
    if (rule.buildBefore != nullptr)
      for (const rules::WorkTable& work : *rule.buildBefore)
        for (std::string_view text : work.statements) statements += std::string(text) + "\n";
  }
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  statements = lower(statements);
  const auto named = [&](const std::string& word) {
    const auto isNamePart = [](char c) {
      return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
    };
    for (auto at = statements.find(word); at != std::string::npos;
         at = statements.find(word, at + 1))
      if ((at == 0 || !isNamePart(statements[at - 1])) &&
          (at + word.size() == statements.size() || !isNamePart(statements[at + word.size()])))
        return true;
    return false;
  };
  for (const schema::Table& table : schema::allTables()) {
    if (table.role != schema::TableRole::ReferenceCatalogue &&
        table.role != schema::TableRole::CertificateLink)
      continue;
    if (table.name == "catValidaciones") continue;
    for (const schema::Column& column : table.columns)
      EXPECT_TRUE(named(lower(std::string(column.name))))
          << table.name << "." << column.name << " is asked for but no rule reads it";
  }
}

// A catalogue without one column some rule reads is refused, the column named; kolt-validar's
// tests give it whole tables missing from either database.
TEST_F(Trust, AMissingColumnIsNamedBeforeAnyUnit) {
  makeSource(1);
  EXPECT_NO_THROW(checkRunTables(session));
  session.cnnCatalogo.executeNative("ALTER TABLE CATCIE10 DROP COLUMN lsex");
  try {
    checkRunTables(session);
    ADD_FAILURE() << "not refused";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.number(), base::kErrNoSuchColumn);
    EXPECT_NE(e.description().find("catálogos '" + (app / "ValidacionesKOLT.db").string() +
                                   "' no tiene la columna CATCIE10.lsex."),
              std::string::npos)
        << e.description();
  }
}

// Stops the run when `unit` reaches rule `rule`, or when it is finished (rule 0).
class StopAt : public RunObserver {
 public:
  StopAt(std::atomic<bool>& stop, std::string unit, int rule)
      : stop_(stop), unit_(std::move(unit)), rule_(rule) {}
  void ruleStarted(const std::string& unit, const rules::RuleProgress& p) override {
    if (unit == unit_ && p.rule == rule_) stop_ = true;
  }
  void unitFinished(int, int, const std::string& unit) override {
    if (unit == unit_ && rule_ == 0) stop_ = true;
  }

 private:
  std::atomic<bool>& stop_;
  std::string unit_;
  int rule_;
};

// The user stops the run: the units finished keep their workbooks and are the only ones the
// summaries list; the unit under way and those not begun leave nothing; the folder is free.
TEST_F(Trust, AnInterruptedRunKeepsWhatItFinishedAndFreesTheFolder) {
  makeSource(4, 3);
  for (const int rule : {0, 40}) {
    SCOPED_TRACE("stopped at rule " + std::to_string(rule) + " of the second unit");
    test::TempDir place;
    session.resultsFolder = place / "R";
    std::atomic<bool> stop{false};
    StopAt observer(stop, "DFSSA000002", rule);
    RunOutcome outcome = validate(nullptr, nullptr, &stop, &observer);
    ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
    EXPECT_TRUE(outcome.interrupted);
    const std::size_t finished = rule == 0 ? 2 : 1;
    ASSERT_EQ(outcome.units.size(), finished);
    const auto summary = rowsOf(sheetOf("ResultadosVal.xls", "Resultados"));
    EXPECT_EQ(summary.size(), finished + 1);
    for (std::size_t u = 1; u <= 4; ++u) {
      const std::string code = "DFSSA00000" + std::to_string(u);
      EXPECT_EQ(fs::exists(session.resultsFolder / ("Val" + code + ".xls")), u <= finished) << code;
    }
    EXPECT_NE(log().find("Validación interrumpida"), std::string::npos) << log();
    EXPECT_FALSE(fs::exists(session.resultsFolder / "Validacion.tmp"));
    EXPECT_NO_THROW(results::ResultsFolder again(session.resultsFolder));
    EXPECT_NE(MensajeFinal(test::requestFor(session, units), outcome)
                  .find("La validación se interrumpió: se validaron " + std::to_string(finished) +
                        " de 4 unidades"),
              std::string::npos);
  }
}

TEST_F(Trust, TheFindingsWorkbookSaysWhatTheRunWas) {
  makeSource(2);
  RunRequest request = test::requestFor(session, units, "01/03/2023", "31/03/2023", 1);
  const RunOutcome outcome = runValidation(request);
  ASSERT_FALSE(outcome.errorReport) << outcome.errorReport->text();
  const test::ReadBack book = test::readBack(outcome.findingsWorkbook);
  EXPECT_EQ(book.names, (std::vector<std::string>{"PorUnidad", "PorRegla", "Ejecucion"}));
  const std::vector<std::string> rows = rowsOf(test::sheet(book, "Ejecucion"));
  const std::vector<std::string> fixed = {
      "Dato|Valor",
      "Archivo de origen|" + (dir.path() / "origen.db").string(),
      "Tamaño del origen (bytes)|" + std::to_string(fs::file_size(dir.path() / "origen.db")),
  };
  ASSERT_GE(rows.size(), 13u);
  EXPECT_EQ(std::vector<std::string>(rows.begin(), rows.begin() + 3), fixed);
  // Local times, "aaaa-mm-dd hh:mm:ss".
  const auto stamped = [](const std::string& row, const std::string& label) {
    return row.starts_with(label + "|20") && row.size() == label.size() + 20;
  };
  EXPECT_PRED2(stamped, rows[3], "Modificación del origen");
  const std::vector<std::string> rest = {
      "Catálogos|" + (app / "ValidacionesKOLT.db").string(),
      "Periodo|01/03/2023 al 31/03/2023",
      "Unidades pedidas|2",
      "Claves de las unidades pedidas|DFSSA000001, DFSSA000002",
      "Unidades validadas|2",
  };
  EXPECT_EQ(std::vector<std::string>(rows.begin() + 4, rows.begin() + 9), rest);
  EXPECT_PRED2(stamped, rows[9], "Fecha y hora de la validación");
  EXPECT_EQ(rows[10], "Versión del programa|" + std::string(results::programVersion()));
  EXPECT_EQ(rows[11],
            "Reglas ejecutadas|" + std::to_string(rules::planRules(rules::ruleCatalogue()).size()));
  EXPECT_EQ(rows[12], "Resultado de la ejecución|Terminada");
}

}  // namespace
}  // namespace kolt::run
