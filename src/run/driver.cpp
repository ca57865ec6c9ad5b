#include "run/driver.h"

#include <algorithm>
#include <ctime>
#include <map>

#include "base/platform/files.h"
#include "base/platform/local_time.h"
#include "base/platform/paths.h"
#include "results/findings_workbook.h"
#include "results/history.h"
#include "results/results_folder.h"
#include "results/summary.h"
#include "results/verdict.h"
#include "rules/rule_plan.h"
#include "run/catalogue_snapshot.h"
#include "run/period.h"
#include "run/run_log.h"
#include "run/session.h"

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
  // Where the file is, whatever folder the command was started in.
  std::error_code ec;
  if (const auto absolute = std::filesystem::absolute(run.source, ec); !ec) run.source = absolute;
  if (const auto stamp = platform::fileStamp(run.source)) {
    run.sourceBytes = static_cast<std::uintmax_t>(stamp->size);
    run.sourceModified = localStamp(static_cast<std::time_t>(stamp->modifiedNs / 1'000'000'000));
  }
  run.catalogue = request.catalogueFile.empty() ? request.catalogue : request.catalogueFile;
  run.demonstrationCatalogue = isDemonstrationCatalogue(run.catalogue);
  run.period = periodInWords(request);
  for (const Unit& unit : request.units) run.unitsAsked.push_back(unit.code);
  run.started = timeStamp(request.started);
  return run;
}

// The units of EGRESO that CATCLUES lacks, with their discharges of the period: what no run can
// validate, said in the summary. A source that cannot tell is said in the log.
std::vector<results::RunDescription::UnvalidatedUnit> unitsNotInCatalogue(const RunRequest& request,
                                                                          RunLog& runLog) {
  std::vector<results::RunDescription::UnvalidatedUnit> units;
  try {
    engine::Connection source;
    source.openReadOnly(request.source);
    // The count reads every discharge once: its pages need not stay in memory.
    source.setReadOnce();
    // A NULL among the catalogue's codes would make NOT IN match nothing at all.
    engine::Recordset missing = source.openRecordset(
        "SELECT CLUES, COUNT(*) AS EGRESOS FROM EGRESO WHERE CLUES IS NOT NULL AND CLUES NOT IN "
        "(SELECT CLUES FROM CATCLUES WHERE CLUES IS NOT NULL)" +
        periodCondition(request) + " GROUP BY CLUES ORDER BY CLUES");
    for (; !missing.eof(); missing.moveNext()) {
      auto& unit = units.emplace_back();
      if (const auto* code = std::get_if<std::string>(&missing.field("CLUES"))) unit.code = *code;
      if (const auto* count = std::get_if<std::int64_t>(&missing.field("EGRESOS")))
        unit.discharges = *count;
      unit.period = periodText(request);
    }
  } catch (const base::Error& e) {
    runLog.note("", "No se pudieron contar las unidades de EGRESO que no están en CATCLUES: " +
                        e.description());
  }
  return units;
}

// Every rule's description, the office's included, by number.
std::map<int, std::string> ruleDescriptions(const rules::OfficeRules& officeRules) {
  std::map<int, std::string> descriptions;
  for (const auto& rule : rules::planRules(rules::ruleCatalogue()))
    descriptions[rule.number] = rule.description;
  for (const auto& rule : rules::planOfficeRules(officeRules))
    descriptions[rule.number] = rule.description;
  return descriptions;
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

std::string allCodes(const std::vector<std::string>& codes) {
  std::string list;
  for (const auto& code : codes) list += (list.empty() ? "" : ", ") + code;
  return list;
}

// The notice while the units run: nothing in the folder has changed yet but the log.
std::string noticeWhileValidating(const results::RunDescription& run) {
  return "VALIDACIÓN SIN TERMINAR\n\nLa validación iniciada el " + run.started + " (" +
         unitsWord(run.unitsAsked.size()) + ": " + allCodes(run.unitsAsked) +
         ") no ha terminado: sigue en curso, o se cortó (el programa se cerró o el equipo se "
         "apagó) antes de guardar ningún resultado.\n\nNo cambió ningún libro de esta carpeta: "
         "los Val*.xls, ResultadosVal.xls y Hallazgos.xls que hay son de la validación anterior "
         "a ella. Validacion.log es el de la validación que no terminó.\n\nSi ya no está en "
         "curso, vuelva a validar esas unidades.\n";
}

// The notice while the results are put in place: a cut here leaves workbooks of both runs.
std::string noticeWhilePlacing(const results::RunDescription& run,
                               const std::vector<UnitResult>& units) {
  std::vector<std::string> codes;
  for (const UnitResult& unit : units) codes.push_back(unit.unit);
  return "VALIDACIÓN SIN TERMINAR\n\nLa validación iniciada el " + run.started + " (" +
         unitsWord(run.unitsAsked.size()) + ": " + allCodes(run.unitsAsked) +
         ") estaba guardando sus resultados y no terminó de hacerlo, o lo está haciendo "
         "ahora.\n\nLos libros Val*.xls de las unidades " +
         allCodes(codes) +
         " pueden ser de esta validación o de la anterior (o faltar), y ResultadosVal.xls y "
         "Hallazgos.xls pueden faltar: no describen esos libros. Vuelva a validar esas unidades "
         "antes de usar sus resultados.\n";
}

// The notice's first paragraph after its heading, on one line: what the log and the end message
// tell of a run that did not finish.
std::string gistOf(const std::string& notice) {
  std::string text = notice;
  if (const auto heading = text.find("\n\n"); heading != std::string::npos)
    text.erase(0, heading + 2);
  if (const auto end = text.find("\n\n"); end != std::string::npos) text.erase(end);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r' || c == '\t'; }, ' ');
  constexpr std::size_t kLongest = 600;
  if (text.size() > kLongest) text = text.substr(0, kLongest) + "…";
  return text;
}

// Frees what `items` holds: assigning {} to a vector would keep its storage, some tens of
// kilobytes a unit that a national run's hundreds of units would hold to the end.
template <typename Container>
void release(Container& items) {
  Container().swap(items);
}

std::string findingsWord(std::int64_t count) {
  return std::to_string(count) + (count == 1 ? " hallazgo" : " hallazgos");
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
  outcome.unfinishedBefore = folder->unfinishedRun();
  if (!outcome.unfinishedBefore.empty())
    runLog.note("", "La validación anterior en esta carpeta no terminó: " +
                        gistOf(outcome.unfinishedBefore));
  for (const auto& line : request.notes) runLog.note("", line);
  // Says in the folder what it holds; a notice that cannot be written is a failure of the run's.
  auto mark = [&](const std::string& text) {
    try {
      if (text.empty())
        folder->markFinished();
      else
        folder->markUnfinished(text);
    } catch (const base::Error& e) {
      runLog.failure("", results::kUnfinishedNotice, e);
    }
  };
  // A run that did not finish before this one is still told by the notice while this one runs:
  // its text follows this run's own.
  const std::string before =
      outcome.unfinishedBefore.empty() ? "" : "\nAntes:\n\n" + outcome.unfinishedBefore;
  mark(noticeWhileValidating(description) + before);
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
  // The failed statement is already in the log; its error is not repeated there. An abandoned
  // run put nothing in place: the folder is as the run before left it, notice included.
  auto abandon = [&](const std::string& unit, const base::Error& e, bool logged) {
    runLog.note(unit, logged ? "Validación abandonada por el error anterior."
                             : "Validación abandonada: " + logText(e));
    mark(outcome.unfinishedBefore);
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

  // The history of the folder's runs: what each unit is compared with, and where this run is
  // kept. It never stops the run: what goes wrong with it is a line of the log.
  results::History history(folder->folder());
  for (const auto& note : history.notes()) runLog.note("", note);
  // Without a history every unit would pass for a first validation: the end message says why.
  if (!history.available() && !history.notes().empty())
    outcome.historyProblem = history.notes().back();
  auto historyFailed = [&](const base::Error& e) {
    outcome.historyProblem = e.description() + " Esta validación no quedó en el historial.";
    runLog.note("", e.description() + " Esta validación no queda en el historial.");
  };
  // Each unit's earlier findings are read as it is compared, and go with it.
  frozen.earlier = [&history, &request](const std::string& unit) {
    return history.earlier(unit, request.periodStart, request.periodEnd);
  };
  frozen.descriptions =
      std::make_shared<const std::map<int, std::string>>(ruleDescriptions(request.officeRules));
  description.notInCatalogue = unitsNotInCatalogue(request, runLog);
  results::RunRecord record{description, request.periodStart, request.periodEnd, ""};
  try {
    history.begin(record);
  } catch (const base::Error& e) {
    historyFailed(e);
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
    try {
      history.addFindings(unit.result);
    } catch (const base::Error& e) {
      historyFailed(e);
    }
    // The rows and the findings one by one are in the workbook and the history: only their
    // counts wait for the summaries, so a run's memory does not grow with its findings. The
    // counts by rule are the unit's workbook's, already written.
    release(unit.result.found);
    release(unit.result.changes.findings);
    release(unit.result.changes.byRule);
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

  // The results take their places: first the previous summaries go, so that they never sit
  // beside this run's workbooks, then each unit's workbook, then the new summaries.
  mark(noticeWhilePlacing(description, outcome.units) + before);
  auto place = [&](const std::filesystem::path& file) {
    if (observer) observer->placing(file);
    folder->place(file);
  };
  const std::filesystem::path findingsBook = folder->folder() / results::kLibroHallazgos;
  for (const auto& summary : {folder->summaryWorkbook(), findingsBook}) {
    try {
      folder->discard(summary);
      place(summary);
    } catch (const base::Error& e) {
      runLog.failure("", platform::utf8(summary.filename()), e);
    }
  }
  for (UnitResult& unit : outcome.units) {
    const std::filesystem::path book = folder->unitWorkbook(unit.unit);
    try {
      place(book);
    } catch (const base::Error& e) {
      // The workbook in its place is not this run's: the unit's findings are not all there.
      runLog.failure(unit.unit, platform::utf8(book.filename()), e);
      ++unit.failedStatements;
      unit.verdict = results::unitVerdict(
          {unit.findings() > 0, false, unit.failedStatements, unit.discharges});
    }
    results::recordVerdict(verdicts, runStatements, unit.unit, unit.period, unit.verdict);
    logRun(unit.unit);
  }

  try {
    // A failed export is logged at once, before whatever fails after it.
    if (!results::exportSummary(verdicts, runStatements, *folder)) logRun("");
    place(folder->summaryWorkbook());
  } catch (const base::Error& e) {
    runLog.failure("", "ResultadosVal.xls", e);
  }
  try {
    outcome.findingsWorkbook =
        writeFindingsWorkbook(*folder, outcome.units, description, request.officeRules);
    place(outcome.findingsWorkbook);
  } catch (const base::Error& e) {
    outcome.findingsWorkbook.clear();
    runLog.failure("", results::kLibroHallazgos, e);
  }
  logRun("");
  record.ended = timeStamp(localNow());
  record.run.ending = description.ending;
  try {
    history.finish(record, outcome.units);
  } catch (const base::Error& e) {
    historyFailed(e);
  }
  if (runLog.diskFailures() > 0)
    runLog.note("", "No quedó espacio en el disco para escribir los resultados.");
  mark("");
  // The last line of every run that finished, interrupted or not, with the time it ended as every
  // line has: a log without it is that of a run that did not finish. The rest of the line is the
  // same for the same results, as the whole log is.
  std::int64_t findings = 0;
  for (const UnitResult& unit : outcome.units) findings += unit.findings();
  runLog.note("", "Fin de la validación: " + unitsWord(outcome.units.size()) +
                      (outcome.units.size() == 1 ? " validada, " : " validadas, ") +
                      findingsWord(findings) + ".");
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
  // What changed since the month before, a line per unit; a long run names the first and sends
  // to the summary for the rest.
  constexpr std::size_t kChangeLines = 20;
  std::size_t changed = 0;
  for (const UnitResult& unit : outcome.units) {
    const results::ChangeCounts& total = unit.changes.total;
    if (!unit.changes.since || (total.added == 0 && total.corrected == 0)) continue;
    if (++changed <= kChangeLines)
      text += "\n" + unit.unit + ": " + results::changesInWords(unit.changes);
  }
  if (changed > kChangeLines)
    text += "\n… y " + std::to_string(changed - kChangeLines) +
            " unidades más con cambios: vea la hoja Seguimiento de " + results::kLibroHallazgos +
            ".";
  if (isDemonstrationCatalogue(request.catalogueFile.empty() ? request.catalogue
                                                             : request.catalogueFile))
    text +=
        "\nSe usó el CATÁLOGO DE DEMOSTRACIÓN, no el oficial: los hallazgos que dependen de "
        "él (como los certificados de la regla 113) no son válidos. Instale el catálogo oficial " +
        std::string(kCatalogoOficial) + " (la guía de uso dice dónde).";
  if (!outcome.historyProblem.empty()) text += "\n" + outcome.historyProblem;
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
  if (!outcome.unfinishedBefore.empty())
    text +=
        "\nLa validación anterior en esta carpeta no terminó: " + gistOf(outcome.unfinishedBefore);
  return text;
}

}  // namespace kolt::run
