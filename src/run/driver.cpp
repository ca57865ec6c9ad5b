#include "run/driver.h"

#include "base/platform/paths.h"
#include "results/findings_workbook.h"
#include "results/results_folder.h"
#include "results/summary.h"
#include "run/run_log.h"

namespace kolt::run {

RunOutcome runValidation(const RunRequest& request, RunObserver* observer, std::ostream* trace) {
  std::optional<results::ResultsFolder> folder;
  try {
    folder.emplace(request.resultsFolder);
  } catch (const base::Error& e) {
    RunOutcome outcome;
    outcome.errorReport = ErrorReport{e.number(), e.description()};
    return outcome;
  }
  return runValidation(*folder, request, observer, trace);
}

RunOutcome runValidation(results::ResultsFolder& heldFolder, const RunRequest& request,
                         RunObserver* observer, std::ostream* trace) {
  RunOutcome outcome;
  results::ResultsFolder* folder = &heldFolder;
  RunLog runLog(folder->folder() / "Validacion.log");
  outcome.log = runLog.file();
  for (const auto& line : request.notes) runLog.note("", line);
  engine::StatementLog runStatements(trace);
  // The run's own statements (the summary's), each failure logged as soon as it is over.
  auto logRun = [&](const std::string& unit) {
    outcome.traceIntact = outcome.traceIntact && runStatements.traceIntact();
    return logStatements(runLog, unit, runStatements.takeRecords(), outcome.times, false);
  };
  auto finish = [&] {
    outcome.failedStatements = runLog.failures();
    outcome.diskFull = runLog.diskFailures() > 0;
    outcome.logIntact = runLog.intact();
    return outcome;
  };
  // The failed statement is already in the log; its error is not repeated there.
  auto abandon = [&](const std::string& unit, const base::Error& e, bool logged) {
    runLog.note(unit, logged ? "Validación abandonada por el error anterior."
                             : "Validación abandonada: " + logText(e));
    outcome.errorReport = ErrorReport{e.number(), e.description()};
    return finish();
  };

  // The run's verdicts are its own: kept in memory, where no run beside it on the same source can
  // reach them and a full disk cannot stop them being kept.
  engine::Connection verdicts;
  try {
    verdicts.openInMemory();
  } catch (const base::Error& e) {
    return abandon("", e, false);
  }
  try {
    results::makeSummaryTable(verdicts, runStatements);
    logRun("");
  } catch (const base::Error& e) {
    logRun("");
    return abandon("", e, true);
  }

  std::optional<std::pair<std::string, base::Error>> unusable;
  validateUnits(request, *folder, trace != nullptr, observer, [&](UnitValidation& unit) {
    runLog.append(unit.log);
    if (trace) *trace << unit.trace;
    outcome.traceIntact = outcome.traceIntact && unit.traceIntact;
    outcome.times += unit.times;
    if (unit.sourceUnusable) {
      unusable.emplace(unit.result.unit, *unit.sourceUnusable);
      return false;
    }
    results::recordVerdict(verdicts, runStatements, unit.result.unit, unit.result.period,
                           unit.result.verdict);
    logRun(unit.result.unit);
    outcome.units.push_back(std::move(unit.result));
    return true;
  });
  if (unusable) return abandon(unusable->first, unusable->second, true);

  try {
    // A failed export is logged at once, before whatever fails after it.
    if (!results::exportSummary(verdicts, runStatements, *folder)) logRun("");
  } catch (const base::Error& e) {
    runLog.failure("", "ResultadosVal.xls", e);
  }
  try {
    outcome.findingsWorkbook = writeFindingsWorkbook(*folder, outcome.units);
  } catch (const base::Error& e) {
    runLog.failure("", results::kLibroHallazgos, e);
  }
  logRun("");
  if (runLog.diskFailures() > 0)
    runLog.note("", "No quedó espacio en el disco para escribir los resultados.");
  return finish();
}

std::string MensajeFinal(const RunRequest& request, const RunOutcome& outcome) {
  std::string text =
      "El proceso de Validación de la Calidad ha Terminado, los resultados puede revisarlos dentro "
      "de la carpeta de " +
      platform::utf8(request.resultsFolder);
  if (outcome.failedStatements > 0)
    text += "\nNo se pudieron ejecutar " + std::to_string(outcome.failedStatements) +
            " instrucciones; el detalle está en " + platform::utf8(outcome.log);
  if (outcome.diskFull)
    text +=
        "\nNo quedó espacio en el disco para escribir los resultados: libere espacio y vuelva "
        "a validar las unidades marcadas VALIDACION INCOMPLETA.";
  if (!outcome.logIntact)
    text += "\nEl registro " + platform::utf8(outcome.log) + " no pudo escribirse completo.";
  return text;
}

}  // namespace kolt::run
