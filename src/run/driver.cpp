#include "run/driver.h"

#include <algorithm>
#include <array>

#include "db/quoting.h"
#include "rules/frame_steps.h"
#include "run/date_utilities.h"
#include "run/findings_workbook.h"
#include "run/run_log.h"
#include "run/source_tables.h"
#include "run/summary.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;
using rules::StatementKind;
using rules::StatementLog;

constexpr std::array kRecordTables = {"EGRESO", "OBSTET",     "PRODUCTOS",
                                      "DEFUNC", "AFECCIONES", "PROCEDIMIENTOS"};
constexpr std::array kCatalogues = {"CATCIE10", "CATCIE9MC", "CATLOCAL", "CATSERVICIOS"};

// The copy condition's date part and the period text of the summary.
struct Period {
  std::string dates;
  std::string text = "TODO";
};

Period periodOf(const Context& ctx, const DateBoxes& boxes) {
  const bool ini = isFilled(boxes.mskFechaIni), fin = isFilled(boxes.mskFechaFin);
  const std::string iniSql = ini ? FechaSQL(ctx.gcFechaIni) : "";
  const std::string finSql = fin ? FechaSQL(ctx.gcFechaFin) : "";
  Period p;
  if (ini && fin) {
    p.dates = " AND CDATE(egreso) >= " + iniSql + " AND CDATE(egreso) <= " + finSql;
    p.text = "Fechaini: " + iniSql + ", Fechafin: " + finSql;
  } else if (ini) {
    p.dates = " AND CDATE(egreso) >= " + iniSql;
    p.text = "Fechaini: " + iniSql;
  } else if (fin) {
    p.dates = " AND CDATE(egreso) <= " + finSql;
    p.text = " Fechafin: " + finSql;
  }
  return p;
}

// Files an interrupted run may have left: working databases and half-written workbooks.
void removeLeftovers(const fs::path& resultados) {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(resultados, ec)) {
    const std::string name = entry.path().filename().string();
    const bool workingDatabase =
        name.starts_with("Val") && (name.ends_with(".db") || name.ends_with(".db-journal"));
    const bool partialWorkbook = name.find(".xls.") != std::string::npos && name.ends_with(".tmp");
    if (workingDatabase || partialWorkbook) fs::remove(entry.path(), ec);
  }
}

// Runs a statement whose failure the run survives: the failure stays in the log.
bool tryExecute(StatementLog& log, db::Connection& cnn, StatementKind kind,
                const std::string& sql) {
  try {
    log.execute(cnn, 0, kind, sql);
    return true;
  } catch (const db::DbError&) {
    return false;
  }
}

void addTimes(RunTimes& times, const std::vector<rules::StatementRecord>& records, bool ofRules) {
  for (const auto& r : records) {
    if (r.kind == StatementKind::Export)
      times.workbooks += r.duration;
    else if (ofRules)
      times.rules += r.duration;
    else
      times.copying += r.duration;
  }
}

class ObserverProgress {
 public:
  explicit ObserverProgress(RunObserver* observer) : observer_(observer) {}
  void operator()(const rules::RuleProgress& p) const {
    if (observer_) observer_->ruleStarted(p);
  }

 private:
  RunObserver* observer_;
};

}  // namespace

std::int64_t UnitResult::findings() const {
  std::int64_t rows = 0;
  for (const rules::RuleRun& run : rules) rows += std::max<std::int64_t>(run.rows, 0);
  return rows;
}

bool isFilled(std::string_view box) {
  const auto first = box.find_first_not_of(' ');
  if (first == std::string_view::npos) return true;  // differs from the empty box's text
  return box.substr(first, box.find_last_not_of(' ') - first + 1) != kEmptyDateBox;
}

RunOutcome ProcesaValidacion(Context& ctx, const DateBoxes& boxes, RunObserver* observer,
                             std::ostream* trace) {
  RunOutcome outcome;
  const fs::path resultados = ctx.resultados();
  std::error_code ec;
  fs::create_directories(resultados, ec);
  if (ec) {
    outcome.errorReport = ErrorReport{db::kErrFile, "No se puede crear la carpeta '" +
                                                        resultados.string() + "': " + ec.message()};
    return outcome;
  }
  removeLeftovers(resultados);
  RunLog runLog(resultados / "Validacion.log");
  outcome.log = runLog.file();
  StatementLog runStatements(trace);

  // Until the first unit's data is in its working database, any failure abandons the run.
  bool reportErrors = true;
  auto abandon = [&](const db::DbError& e) {
    for (const auto& r : runStatements.records())
      if (r.failed()) runLog.failure(ctx.gcUnidad, r);
    runLog.note(ctx.gcUnidad,
                "Validación abandonada: " + std::to_string(e.number()) + " - " + e.description());
    outcome.errorReport = ErrorReport{e.number(), e.description()};
    outcome.failedStatements = runLog.failures();
    return outcome;
  };

  try {
    if (!ctx.cnnOrigen.isOpen())
      throw db::DbError(db::kErrNotOpen, "La base de datos de origen no está abierta.");
    creaResumen(ctx.cnnOrigen, runStatements);
  } catch (const db::DbError& e) {
    return abandon(e);
  }

  const int count = static_cast<int>(ctx.gaUnidades.size());
  for (int i = 0; i < count; ++i) {
    ctx.gcUnidad = unitCode(ctx.gaUnidades[static_cast<std::size_t>(i)]);
    if (observer) observer->unitStarted(i + 1, count, ctx.gcUnidad);
    const Period period = periodOf(ctx, boxes);
    const std::string where =
        " WHERE  clues = '" + db::doubledQuotes(ctx.gcUnidad) + "'" + period.dates;
    const fs::path lcBaseNueva = resultados / ("Val" + ctx.gcUnidad + ".db");
    const std::string inDb = " IN '" + db::doubledQuotes(lcBaseNueva.string()) + "'";
    StatementLog unitStatements(trace);
    int unitFailures = 0;
    bool unitUsable = true;

    fs::remove(lcBaseNueva, ec);
    try {
      db::Connection::createDatabase(lcBaseNueva);
      for (const char* table : kRecordTables)
        unitStatements.execute(
            ctx.cnnOrigen, 0, StatementKind::WorkTable,
            std::string("SELECT * INTO ") + table + inDb + " FROM " + table + " " + where);
      unitStatements.execute(ctx.cnnOrigen, 0, StatementKind::WorkTable,
                             "SELECT * INTO CATCLUES" + inDb + " FROM CATCLUES");
    } catch (const db::DbError& e) {
      if (reportErrors) {
        for (auto& r : unitStatements.takeRecords()) runLog.failure(ctx.gcUnidad, r);
        return abandon(e);
      }
      runLog.note(ctx.gcUnidad, "Error " + std::to_string(e.number()) + " - " + e.description());
      ++unitFailures;
      unitUsable = fs::exists(lcBaseNueva, ec);
    }
    reportErrors = false;

    rules::FrameReport report;
    ctx.gcLibroExcel = resultados / ("Val" + ctx.gcUnidad + ".xls");
    fs::remove(ctx.gcLibroExcel, ec);
    if (unitUsable) {
      for (const char* table : kCatalogues)
        tryExecute(unitStatements, ctx.cnnCatalogo, StatementKind::WorkTable,
                   std::string("SELECT * INTO ") + table + inDb + " FROM " + table);
      tryExecute(
          unitStatements, ctx.cnnCatalogo, StatementKind::WorkTable,
          "SELECT * INTO catValidaciones" + inDb + " FROM catValidaciones ORDER BY Validacion");
      try {
        ctx.cnnNueva.open(lcBaseNueva);
        ctx.cnnNueva.setScratch();
        try {
          ctx.cnnNueva.link("Folio", ctx.rutaCatalogo, "Folio");
        } catch (const db::DbError& e) {
          runLog.note(ctx.gcUnidad,
                      "Folio: " + std::to_string(e.number()) + " - " + e.description());
          ++unitFailures;
        }
        rules::FrameOptions options;
        options.trace = trace;
        options.progress = ObserverProgress(observer);
        report = rules::Validaciones(ctx.cnnNueva, ctx.gcLibroExcel, options);
      } catch (const db::DbError& e) {
        runLog.note(ctx.gcUnidad, "Error " + std::to_string(e.number()) + " - " + e.description());
        ++unitFailures;
      }
    }

    addTimes(outcome.times, unitStatements.records(), false);
    addTimes(outcome.times, report.statements, true);
    outcome.traceIntact = outcome.traceIntact && report.traceIntact && unitStatements.traceIntact();
    const bool workbook = fs::exists(ctx.gcLibroExcel, ec);
    for (const auto* failure : report.failures()) runLog.failure(ctx.gcUnidad, *failure);
    for (const auto& r : unitStatements.records())
      if (r.failed()) runLog.failure(ctx.gcUnidad, r);
    unitFailures += static_cast<int>(report.failures().size());
    for (const auto& r : unitStatements.records()) unitFailures += r.failed();

    UnitResult result{ctx.gcUnidad,
                      period.text,
                      veredicto(workbook, !report.findings().empty(), unitFailures > 0),
                      unitName(ctx.gaUnidades[static_cast<std::size_t>(i)]),
                      unitFailures,
                      std::move(report.rules)};
    try {
      registraVeredicto(ctx.cnnOrigen, runStatements, result.unidad, result.periodo,
                        result.resultado);
    } catch (const db::DbError&) {
      // In the run's log with the other failures.
    }
    if (workbook && ctx.cnnNueva.isOpen()) {
      try {
        rules::ArchivoExcel(ctx.cnnNueva, ctx.gcLibroExcel, "catValidaciones", runStatements);
      } catch (const db::DbError&) {
        // In the run's log with the other failures.
      }
    }
    ctx.cnnNueva.close();
    fs::remove(lcBaseNueva, ec);
    outcome.units.push_back(std::move(result));
  }

  try {
    exportaResumen(ctx.cnnOrigen, runStatements, resultados);
  } catch (const db::DbError&) {
    // In the run's log with the other failures.
  }
  try {
    outcome.findingsWorkbook = writeFindingsWorkbook(resultados, outcome.units);
  } catch (const db::DbError& e) {
    runLog.note("", std::string(kLibroHallazgos) + ": " + std::to_string(e.number()) + " - " +
                        e.description());
  }
  for (const auto& r : runStatements.records())
    if (r.failed()) runLog.failure("", r);
  addTimes(outcome.times, runStatements.records(), false);
  outcome.traceIntact = outcome.traceIntact && runStatements.traceIntact();
  outcome.failedStatements = runLog.failures();
  return outcome;
}

std::string MensajeFinal(const Context& ctx, const RunOutcome& outcome) {
  std::string text =
      "El proceso de Validación de la Calidad ha Terminado, los resultados puede revisarlos dentro "
      "de la carpeta de " +
      ctx.resultados().string();
  if (outcome.failedStatements > 0)
    text += "\nNo se pudieron ejecutar " + std::to_string(outcome.failedStatements) +
            " instrucciones; el detalle está en " + outcome.log.string();
  return text;
}

}  // namespace kolt::run
