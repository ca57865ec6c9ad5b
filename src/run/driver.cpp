#include "run/driver.h"

#include <algorithm>
#include <ctime>

#include "base/platform/files.h"
#include "base/platform/local_time.h"
#include "base/platform/paths.h"
#include "results/findings_workbook.h"
#include "results/results_folder.h"
#include "results/summary.h"
#include "results/verdict.h"
#include "run/catalogue_snapshot.h"
#include "run/run_log.h"

namespace kolt::run {
namespace {

std::string localStamp(std::time_t t) {
  const std::tm local = platform::localTime(t);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

std::string periodInWords(const RunRequest& request) {
  const std::string& ini = request.periodStart;
  const std::string& fin = request.periodEnd;
  if (!ini.empty() && !fin.empty()) return ini + " al " + fin;
  if (!ini.empty()) return "desde el " + ini;
  if (!fin.empty()) return "hasta el " + fin;
  return "todos los egresos";
}

// What the run is, as it starts: the source as it is now, not as it may be when the run ends.
results::RunDescription describe(const RunRequest& request) {
  results::RunDescription run;
  run.source = request.sourceFile.empty() ? request.source : request.sourceFile;
  if (const auto stamp = platform::fileStamp(run.source)) {
    run.sourceBytes = static_cast<std::uintmax_t>(stamp->size);
    run.sourceModified = localStamp(static_cast<std::time_t>(stamp->modifiedNs / 1'000'000'000));
  }
  run.catalogue = request.catalogueFile.empty() ? request.catalogue : request.catalogueFile;
  run.period = periodInWords(request);
  for (const Unit& unit : request.units) run.unitsAsked.push_back(unit.code);
  run.started = localStamp(std::time(nullptr));
  return run;
}

std::string unitsWord(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " unidad" : " unidades");
}

// "A, B, C y 2 más": enough codes to find them, never a screenful.
std::string someCodes(const std::vector<std::string>& codes) {
  constexpr std::size_t kNamed = 5;
  std::string list;
  for (std::size_t i = 0; i < codes.size() && i < kNamed; ++i)
    list += (i == 0 ? "" : ", ") + codes[i];
  if (codes.size() > kNamed) list += " y " + std::to_string(codes.size() - kNamed) + " más";
  return list;
}

}  // namespace

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
  results::RunDescription description = describe(request);
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

  // Every unit reads the catalogue as it is now, whatever becomes of the file during the run.
  RunRequest frozen = request;
  try {
    CatalogueSnapshot catalogue = freezeCatalogue(request);
    frozen.catalogueImage = std::move(catalogue.image);
    description.catalogueSha256 = std::move(catalogue.sha256);
  } catch (const base::Error& e) {
    return abandon("", e, false);
  }

  std::optional<std::pair<std::string, base::Error>> unusable;
  validateUnits(frozen, *folder, trace != nullptr, observer, [&](UnitValidation& unit) {
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
  outcome.interrupted = request.cancel != nullptr && request.cancel->load() &&
                        outcome.units.size() < request.units.size();
  description.ending = "Terminada";
  if (outcome.interrupted) {
    description.ending = "Interrumpida por el usuario: se validaron " +
                         std::to_string(outcome.units.size()) + " de " +
                         unitsWord(request.units.size());
    runLog.note("", "Validación interrumpida por el usuario: se validaron " +
                        std::to_string(outcome.units.size()) + " de " +
                        unitsWord(request.units.size()) + "; los resúmenes incluyen solo esas.");
  }

  try {
    // A failed export is logged at once, before whatever fails after it.
    if (!results::exportSummary(verdicts, runStatements, *folder)) logRun("");
  } catch (const base::Error& e) {
    runLog.failure("", "ResultadosVal.xls", e);
  }
  try {
    outcome.findingsWorkbook =
        writeFindingsWorkbook(*folder, outcome.units, description, request.officeRules);
  } catch (const base::Error& e) {
    runLog.failure("", results::kLibroHallazgos, e);
  }
  logRun("");
  if (runLog.diskFailures() > 0)
    runLog.note("", "No quedó espacio en el disco para escribir los resultados.");
  return finish();
}

bool nothingChecked(const RunOutcome& outcome) {
  return !outcome.units.empty() &&
         std::all_of(outcome.units.begin(), outcome.units.end(), [](const UnitResult& unit) {
           return results::withoutDischarges(unit.verdict);
         });
}

std::string MensajeFinal(const RunRequest& request, const RunOutcome& outcome) {
  std::string text;
  if (outcome.interrupted)
    text = "La validación se interrumpió: se validaron " + std::to_string(outcome.units.size()) +
           " de " + unitsWord(request.units.size()) +
           ", y solo esas están en los resúmenes. Vuelva a validar las demás. Los resultados "
           "están en la carpeta " +
           platform::utf8(request.resultsFolder);
  else
    text =
        "El proceso de Validación de la Calidad ha Terminado, los resultados puede revisarlos "
        "dentro de la carpeta de " +
        platform::utf8(request.resultsFolder);
  std::vector<std::string> empty;
  for (const UnitResult& unit : outcome.units)
    if (results::withoutDischarges(unit.verdict)) empty.push_back(unit.unit);
  if (nothingChecked(outcome))
    text +=
        "\nNinguna unidad tiene egresos en el periodo pedido, así que no se revisó nada "
        "(resultado SIN EGRESOS). Compruebe las fechas del periodo.";
  else if (!empty.empty())
    text += "\n" + std::string(empty.size() == 1 ? "La unidad " : "Las unidades ") +
            someCodes(empty) + (empty.size() == 1 ? " no tiene" : " no tienen") +
            " egresos en el periodo pedido (resultado SIN EGRESOS): no se revisó nada de " +
            (empty.size() == 1 ? "ella." : "ellas.");
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
