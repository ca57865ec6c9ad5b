#include "run/driver.h"

#include <algorithm>
#include <array>
#include <optional>

#include "db/quoting.h"
#include "db/results_folder.h"
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

// Runs a statement whose failure the run survives: the failure stays in its record.
void tryExecute(StatementLog& log, db::Connection& cnn, StatementKind kind,
                const std::string& sql) {
  try {
    log.execute(cnn, 0, kind, sql);
  } catch (const db::DbError&) {
  }
}

bool anyExportFailed(const std::vector<rules::StatementRecord>& records) {
  return std::any_of(records.begin(), records.end(), [](const rules::StatementRecord& r) {
    return r.kind == StatementKind::Export && r.failed();
  });
}

// Puts each failure in the run's log as soon as its step is over, so the log reads in the order
// things ran, and keeps what the verdicts and the end message need: failures counted, times
// summed, a full disk noticed.
class Failures {
 public:
  Failures(RunLog& log, RunOutcome& outcome) : log_(log), outcome_(outcome) {}

  // The statements run since the last call; returns how many failed.
  int statements(std::vector<rules::StatementRecord> records, const std::string& unit,
                 bool ofRules) {
    int failed = 0;
    for (const auto& r : records) {
      if (r.kind == StatementKind::Export)
        outcome_.times.workbooks += r.duration;
      else if (ofRules)
        outcome_.times.rules += r.duration;
      else
        outcome_.times.copying += r.duration;
      if (!r.failed()) continue;
      ++failed;
      log_.failure(unit, r);
      diskFailures_ += r.errorNumber == db::kErrDiskFull;
    }
    outcome_.diskFull = diskFailures_ > 0;
    return failed;
  }
  int statements(StatementLog& log, const std::string& unit) {
    outcome_.traceIntact = outcome_.traceIntact && log.traceIntact();
    return statements(log.takeRecords(), unit, false);
  }

  void step(const std::string& unit, const std::string& what, const db::DbError& e) {
    log_.failure(unit, what, e);
    diskFailures_ += e.number() == db::kErrDiskFull;
    outcome_.diskFull = diskFailures_ > 0;
  }

  // Failures for want of room so far.
  int diskFailures() const { return diskFailures_; }

 private:
  RunLog& log_;
  RunOutcome& outcome_;
  int diskFailures_ = 0;
};

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
  std::optional<db::ResultsFolder> folder;
  try {
    folder.emplace(ctx.resultados());
  } catch (const db::DbError& e) {
    outcome.errorReport = ErrorReport{e.number(), e.description()};
    return outcome;
  }
  RunLog runLog(folder->folder() / "Validacion.log");
  outcome.log = runLog.file();
  Failures failures(runLog, outcome);
  StatementLog runStatements(trace);

  // Until the first unit's data is in its working database, a failure abandons the run. The
  // failed statement is already in the log; its error is not repeated there.
  bool reportErrors = true;
  auto abandon = [&](const db::DbError& e, bool logged) {
    runLog.note(ctx.gcUnidad, logged ? "Validación abandonada por el error anterior."
                                     : "Validación abandonada: " + std::to_string(e.number()) +
                                           " - " + e.description());
    outcome.errorReport = ErrorReport{e.number(), e.description()};
    outcome.failedStatements = runLog.failures();
    outcome.logIntact = runLog.intact();
    return outcome;
  };

  if (!ctx.cnnOrigen.isOpen())
    return abandon(db::DbError(db::kErrNotOpen, "La base de datos de origen no está abierta."),
                   false);
  try {
    creaResumen(ctx.cnnOrigen, runStatements);
    failures.statements(runStatements, "");
  } catch (const db::DbError& e) {
    failures.statements(runStatements, "");
    return abandon(e, true);
  }

  const int count = static_cast<int>(ctx.gaUnidades.size());
  for (int i = 0; i < count; ++i) {
    ctx.gcUnidad = unitCode(ctx.gaUnidades[static_cast<std::size_t>(i)]);
    const std::string& unit = ctx.gcUnidad;
    if (observer) observer->unitStarted(i + 1, count, unit);
    const Period period = periodOf(ctx, boxes);
    const std::string where = " WHERE  clues = '" + db::doubledQuotes(unit) + "'" + period.dates;
    const fs::path lcBaseNueva = folder->workingDatabase(unit);
    const std::string inDb = " IN '" + db::doubledQuotes(lcBaseNueva.string()) + "'";
    const fs::path book = folder->unitWorkbook(unit);
    StatementLog unitStatements(trace);
    const int diskFailuresBefore = failures.diskFailures();
    int unitFailures = 0;
    bool unitUsable = true;

    std::error_code ec;
    fs::remove(lcBaseNueva, ec);
    try {
      db::Connection::createDatabase(lcBaseNueva);
    } catch (const db::DbError& e) {
      // This unit's files cannot be made; the other units may still be validated.
      failures.step(unit, "base de trabajo", e);
      ++unitFailures;
      unitUsable = false;
    }
    if (unitUsable) {
      std::vector<std::string> copies;
      for (const char* table : kRecordTables)
        copies.push_back(std::string("SELECT * INTO ") + table + inDb + " FROM " + table + " " +
                         where);
      copies.push_back("SELECT * INTO CATCLUES" + inDb + " FROM CATCLUES");
      for (const auto& copy : copies) {
        try {
          unitStatements.execute(ctx.cnnOrigen, 0, StatementKind::WorkTable, copy);
        } catch (const db::DbError& e) {
          // The source lacks what every unit needs; a disk without room is this unit's trouble.
          if (reportErrors && e.number() != db::kErrDiskFull) {
            failures.statements(unitStatements, unit);
            fs::remove(lcBaseNueva, ec);
            return abandon(e, true);
          }
        }
      }
      for (const char* table : kCatalogues)
        tryExecute(unitStatements, ctx.cnnCatalogo, StatementKind::WorkTable,
                   std::string("SELECT * INTO ") + table + inDb + " FROM " + table);
      tryExecute(
          unitStatements, ctx.cnnCatalogo, StatementKind::WorkTable,
          "SELECT * INTO catValidaciones" + inDb + " FROM catValidaciones ORDER BY Validacion");
      unitFailures += failures.statements(unitStatements, unit);
    }
    reportErrors = false;

    // The rules fill the workbook's draft; it takes the workbook's name once it is whole.
    ctx.gcLibroExcel = folder->draftOf(book);
    try {
      folder->discard(book);
    } catch (const db::DbError& e) {
      failures.step(unit, "libro anterior", e);
      ++unitFailures;
    }
    rules::FrameReport report;
    if (unitUsable) {
      try {
        ctx.cnnNueva.open(lcBaseNueva);
        ctx.cnnNueva.setScratch();
        try {
          ctx.cnnNueva.link("Folio", ctx.rutaCatalogo, "Folio");
        } catch (const db::DbError& e) {
          failures.step(unit, "vínculo Folio", e);
          ++unitFailures;
        }
        rules::FrameOptions options;
        options.trace = trace;
        options.progress = ObserverProgress(observer);
        report = rules::Validaciones(ctx.cnnNueva, ctx.gcLibroExcel, options);
      } catch (const db::DbError& e) {
        failures.step(unit, "base de trabajo", e);
        ++unitFailures;
      }
    }
    outcome.traceIntact = outcome.traceIntact && report.traceIntact;
    unitFailures += failures.statements(report.statements, unit, true);

    // A workbook missing some sheet would pass for the unit's full findings: it takes its name only
    // when every export succeeded and no rule was cut short by a full disk.
    bool workbookWritten = false;
    if (fs::exists(ctx.gcLibroExcel, ec) && ctx.cnnNueva.isOpen()) {
      try {
        rules::ArchivoExcel(ctx.cnnNueva, ctx.gcLibroExcel, "catValidaciones", unitStatements);
      } catch (const db::DbError&) {
        // In its record, like the rules' exports.
      }
      const bool whole =
          !anyExportFailed(report.statements) && !anyExportFailed(unitStatements.records());
      unitFailures += failures.statements(unitStatements, unit);
      const bool cutShort = failures.diskFailures() > diskFailuresBefore;
      try {
        if (!whole || cutShort)
          throw db::DbError(db::kErrWorkbook,
                            "El libro no se guardó porque le faltarían hallazgos de la unidad.");
        folder->publish(book);
        workbookWritten = true;
      } catch (const db::DbError& e) {
        failures.step(unit, book.filename().string(), e);
        ++unitFailures;
      }
    }
    fs::remove(ctx.gcLibroExcel, ec);
    ctx.cnnNueva.close();
    fs::remove(lcBaseNueva, ec);

    const std::string resultado =
        veredicto(!report.findings().empty(), workbookWritten, unitFailures > 0);
    UnitResult result{unit,         period.text,
                      resultado,    unitName(ctx.gaUnidades[static_cast<std::size_t>(i)]),
                      unitFailures, std::move(report.rules)};
    try {
      registraVeredicto(ctx.cnnOrigen, runStatements, result.unidad, result.periodo,
                        result.resultado);
    } catch (const db::DbError&) {
      // In its record.
    }
    failures.statements(runStatements, unit);
    outcome.units.push_back(std::move(result));
  }

  try {
    exportaResumen(ctx.cnnOrigen, runStatements, *folder);
  } catch (const db::DbError& e) {
    if (failures.statements(runStatements, "") == 0) failures.step("", "ResultadosVal.xls", e);
  }
  try {
    outcome.findingsWorkbook = writeFindingsWorkbook(*folder, outcome.units);
  } catch (const db::DbError& e) {
    failures.step("", kLibroHallazgos, e);
  }
  failures.statements(runStatements, "");
  if (outcome.diskFull)
    runLog.note("", "No quedó espacio en el disco para escribir los resultados.");
  outcome.failedStatements = runLog.failures();
  outcome.logIntact = runLog.intact();
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
  if (outcome.diskFull)
    text +=
        "\nNo quedó espacio en el disco para escribir los resultados: libere espacio y vuelva "
        "a validar las unidades marcadas VALIDACION INCOMPLETA.";
  if (!outcome.logIntact)
    text += "\nEl registro " + outcome.log.string() + " no pudo escribirse completo.";
  return text;
}

}  // namespace kolt::run
