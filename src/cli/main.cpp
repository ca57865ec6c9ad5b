// kolt-validar: the validation run from the command line, the same run the window starts.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <utility>
#include <variant>

#include "base/platform/interrupt.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"
#include "cli/arguments.h"
#include "engine/dialect/functions.h"
#include "results/history.h"
#include "results/results_folder.h"
#include "run/date_utilities.h"
#include "run/driver.h"
#include "run/input_check.h"
#include "run/office_rules_check.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "run/table_check.h"
#include "run/unit_listing.h"

namespace {

using namespace kolt;

constexpr int kFinished = 0, kAbandoned = 1, kBadUsage = 2;
// Finished, but no unit had a discharge in the period: nothing was checked, which a script must not
// take for a clean pass.
constexpr int kNothingChecked = 3;
constexpr int kInterrupted = platform::InterruptHook::kExitStatus;

class StderrMessages : public run::DateMessages {
 public:
  void beep() override {}
  void message(const std::string& text, const std::string& title) override {
    std::cerr << title << ": " << text << '\n';
  }
};

// "12 hallazgos  340 egresos  +2 nuevos desde 07/11/2026": what a unit's verdict rests on.
std::string countsOf(const results::UnitResult& unit) {
  const std::int64_t findings = unit.findings();
  std::string text = std::to_string(findings) + (findings == 1 ? " hallazgo  " : " hallazgos  ");
  if (unit.discharges < 0)
    text += "egresos sin contar";
  else
    text += std::to_string(unit.discharges) + (unit.discharges == 1 ? " egreso" : " egresos");
  // What changed since the unit's latest earlier run: "+12 nuevos, 11 corregidos desde ...".
  return text + "  " + results::changesInWords(unit.changes);
}

// On a terminal, "3 de 60 unidades validadas; IMSSA000012: regla 45 de 113" on one line, rewritten
// as the run goes. Elsewhere (a file, a pipe, a scheduler's log) a line per finished unit, so a
// long run shows how far it got: "[3/60] IMSSA000012  A REVISAR  12 hallazgos  340 egresos".
class TerminalProgress : public run::RunObserver {
 public:
  explicit TerminalProgress(bool enabled) : enabled_(enabled) {}
  ~TerminalProgress() override {
    if (enabled_ && written_) std::fputs("\r\033[K", stderr);
  }
  void unitFinished(int done, int count, const std::string&) override {
    done_ = std::to_string(done) + " de " + std::to_string(count) + " unidades validadas";
    show("");
  }
  void unitValidated(int done, int count, const results::UnitResult& unit) override {
    if (enabled_) return;
    std::fprintf(stderr, "[%d/%d] %s  %s  %s\n", done, count, unit.unit.c_str(),
                 unit.verdict.c_str(), countsOf(unit).c_str());
    std::fflush(stderr);
  }
  void ruleStarted(const std::string& unit, const rules::RuleProgress& p) override {
    show("; " + unit + ": regla " + std::to_string(p.position) + " de " + std::to_string(p.total));
  }

 private:
  void show(const std::string& rule) {
    if (!enabled_) return;
    std::fprintf(stderr, "\r\033[K%s%s", done_.c_str(), rule.c_str());
    std::fflush(stderr);
    written_ = true;
  }
  bool enabled_;
  bool written_ = false;
  std::string done_ = "0 unidades validadas";
};

// "importando EGRESO (tabla 1 de 7): 120000 de 300000 filas" on one terminal line while an Access
// source is imported into its companion; nothing when standard error is not a terminal. A run that
// waits for another importing the same file says so in any case.
access::ImportProgressFn importProgress(bool terminal) {
  return [terminal](const access::ImportProgress& p) {
    if (!p.waiting.empty()) {
      std::fprintf(stderr, "%s%s\n", terminal ? "\r\033[K" : "", p.waiting.c_str());
    } else if (!terminal) {
      return;
    } else if (p.finished) {
      std::fputs("\r\033[K", stderr);
    } else if (p.tableIndex > 0) {
      std::fprintf(stderr, "\r\033[Kimportando %s (tabla %d de %d): %lld de %lld filas",
                   p.table.c_str(), p.tableIndex, p.tableCount, static_cast<long long>(p.tableRows),
                   static_cast<long long>(p.tableRowsExpected));
    }
    std::fflush(stderr);
  };
}

// While the databases are opened, which for a large Access file means minutes of import: says on
// standard error as soon as Ctrl-C is pressed that the run is stopping, and ends the import at its
// next report, a fraction of a second later. The importer runs in a process group of its own and
// never hears Ctrl-C: the import would otherwise go on to its end in silence.
class StopWhileOpening {
 public:
  StopWhileOpening(const std::atomic<bool>& requested, bool terminal)
      : requested_(requested),
        terminal_(terminal),
        show_(importProgress(terminal)),
        watcher_([this](std::stop_token stop) { watch(stop); }) {}

  // The import's progress, shown as importProgress shows it until a stop is asked.
  access::ImportProgressFn progress() {
    return [this](const access::ImportProgress& p) {
      const std::lock_guard lock(mutex_);
      // The report that another run imports the same file comes from within the wait for that
      // run's lock, which no exception may leave; the import that follows stops at its first.
      if (requested_ && p.waiting.empty()) {
        tell();
        throw base::Error(base::kErrFile, "Importación detenida a petición del usuario.");
      }
      show_(p);
    };
  }

 private:
  void watch(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    // The request is a flag a signal handler sets, which nothing can be woken by: it is looked at
    // a few times a second.
    while (!wake_.wait_for(lock, stop, std::chrono::milliseconds(100),
                           [&] { return requested_.load(); }))
      if (stop.stop_requested()) return;
    tell();
  }

  // Under mutex_, once.
  void tell() {
    if (told_) return;
    told_ = true;
    std::fprintf(stderr, "%sDeteniendo la validación: no se validará ninguna unidad.\n",
                 terminal_ ? "\r\033[K" : "");
    std::fflush(stderr);
  }

  const std::atomic<bool>& requested_;
  const bool terminal_;
  const access::ImportProgressFn show_;
  std::mutex mutex_;  // standard error and what follows, shared by the watcher and the import
  bool told_ = false;
  std::condition_variable_any wake_;
  std::jthread watcher_;  // last: it starts once the rest is made, and is stopped first
};

std::filesystem::path programFolder(const char* argv0) {
  return platform::programFile(argv0).parent_path();
}

// The message alone, and where the help is: the whole usage text would push the message off the
// screen.
int usageError(const std::string& message) {
  std::cerr << message << "\n" << cli::kHelpHint << "\n";
  return kBadUsage;
}

// Every unit of EGRESO, those CATCLUES lacks marked, as --unidades prints them.
void printUnits(const run::UnitListing& listing) {
  for (const auto& unit : listing.units) std::cout << unit.text() << '\n';
  for (const auto& code : listing.notInCatalogue)
    std::cout << code << "  " << run::kNoEstaEnCatclues << '\n';
}

int interruptedBeforeTheRun() {
  std::cerr << "Validación interrumpida antes de empezar: no se validó ninguna unidad.\n";
  return kInterrupted;
}

// --comprobar-reglas: each rule of the file, "correcta" or its error, checked against the working
// database's tables as the program defines them.
int checkRulesFile(const std::string& file) {
  rules::OfficeRulesFile read;
  try {
    read = rules::readOfficeRules(platform::pathFromUtf8(file));
    engine::Connection checkDatabase;
    checkDatabase.openInMemory();
    rules::createWorkingTables(checkDatabase);
    rules::compileOfficeRules(read, checkDatabase);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kBadUsage;
  }
  if (read.checks.empty()) std::cout << "El archivo no tiene reglas ([[regla]]).\n";
  for (const auto& check : read.checks)
    std::cout << check.rule << ": " << (check.error.empty() ? "correcta" : check.error) << '\n';
  return read.correct() ? kFinished : kBadUsage;
}

// The office's rules file of a run, read and each statement's form checked before anything is
// opened or written; its statements are compiled once the source is open, and a refusal then names
// every faulty rule, those refused by their form and those the source's tables refuse, as
// --comprobar-reglas does. Only a file none of whose rules is left to compile is refused at once.
std::optional<rules::OfficeRulesFile> readRulesFile(const cli::Arguments& args,
                                                    const std::filesystem::path& app) {
  const std::filesystem::path file =
      args.officeRules ? platform::pathFromUtf8(*args.officeRules) : run::officeRulesFile(app);
  if (args.listUnits || file.empty()) return std::nullopt;
  rules::OfficeRulesFile read = rules::readOfficeRules(file);
  if (std::ranges::none_of(read.checks, [](const auto& check) { return check.error.empty(); }))
    rules::acceptedRules(read);
  return read;
}

// --historial: the runs kept in a results folder, newest first, one line each.
int listHistory(const std::string& folderArgument, const std::filesystem::path& app) {
  const std::filesystem::path folder = folderArgument.empty()
                                           ? run::defaultResultsFolder(app)
                                           : platform::pathFromUtf8(folderArgument);
  std::vector<results::KeptRun> runs;
  try {
    runs = results::History::list(folder);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kAbandoned;
  }
  if (runs.empty())
    std::cout << "No hay validaciones guardadas en " << platform::utf8(folder) << ".\n";
  for (const results::KeptRun& kept : runs) {
    std::cout << results::stampText(kept.started) << "  " << kept.ending << "  " << kept.units
              << " de " << kept.unitsAsked << (kept.unitsAsked == 1 ? " unidad  " : " unidades  ")
              << kept.findings << (kept.findings == 1 ? " hallazgo  " : " hallazgos  ")
              << kept.period << "  " << kept.source
              << (kept.demonstrationCatalogue ? "  CATÁLOGO DE DEMOSTRACIÓN" : "") << '\n';
  }
  return kFinished;
}

int validate(const cli::Arguments& args, const std::filesystem::path& app) {
  std::optional<rules::OfficeRulesFile> officeRules;
  try {
    officeRules = readRulesFile(args, app);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kBadUsage;
  }
  // From here on Ctrl-C asks the run to stop: it ends between its steps, releasing the results
  // folder and keeping the units it finished.
  std::atomic<bool> interrupted{false};
  std::optional<platform::InterruptHook> hook;
  if (!args.listUnits) hook.emplace(interrupted);
  run::Session session(app);
  if (args.resultsFolder)
    session.resultsFolder = std::filesystem::absolute(platform::pathFromUtf8(*args.resultsFolder));
  // The results folder is this run's before anything is opened or built: a run refused on a folder
  // in use has touched nothing, not even the source's companion. Listing the units writes no
  // results.
  std::optional<results::ResultsFolder> folder;
  try {
    if (!args.listUnits) folder.emplace(session.resultsFolder);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kAbandoned;
  }
  if (args.listUnits) {
    // A listing opens no catalogue and leaves the source's data nowhere but beside it.
    try {
      access::ImportOptions options;
      options.progress = importProgress(platform::isTerminal(platform::StandardStream::Error));
      printUnits(
          run::listUnits(platform::pathFromUtf8(args.source), run::sourceImportOptions(options)));
    } catch (const base::Error& e) {
      std::cerr << e.number() << " - " << e.description() << '\n';
      return kAbandoned;
    }
    return kFinished;
  }
  std::optional<StopWhileOpening> stopping(std::in_place, interrupted,
                                           platform::isTerminal(platform::StandardStream::Error));
  try {
    run::openDatabases(session, platform::pathFromUtf8(args.source), stopping->progress(),
                       platform::pathFromUtf8(args.catalogue ? *args.catalogue : ""));
  } catch (const base::Error& e) {
    // Ctrl-C during an import also ends the importer, which then fails: the user's stop, not an
    // error of the file.
    if (interrupted) return interruptedBeforeTheRun();
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kAbandoned;
  }

  if (interrupted) return interruptedBeforeTheRun();
  if (!args.listUnits && run::isDemonstrationCatalogue(session.catalogue))
    std::cerr << "Aviso: se usa el CATÁLOGO DE DEMOSTRACIÓN (" << platform::utf8(session.catalogue)
              << "), no el oficial " << run::kCatalogoOficial
              << ": los hallazgos que dependen de él no son válidos.\n";

  run::UnitListing listing;
  try {
    // Everything the run reads, before any unit runs: a wrong catalogue or a source without some
    // table is told at once, every missing part named.
    if (!args.listUnits) run::checkRunTables(session);
    listing = run::readUnits(session.cnnOrigen);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kAbandoned;
  }

  rules::OfficeRules checkedRules;
  try {
    if (officeRules) checkedRules = run::checkedOfficeRules(std::move(*officeRules), session);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kBadUsage;
  }
  if (args.listUnits) {
    printUnits(listing);
    return kFinished;
  }
  // The units the list leaves out are said, as the window says them under its list.
  if (const std::string notice = listing.notice(); !notice.empty())
    std::cerr << "Aviso: " << notice << '\n';
  const std::vector<run::Unit>& units = listing.units;

  // The units asked for, in the order they are asked for, each once (a unit validated twice at once
  // would race itself for its workbook and be summed twice); then the checks of the validation
  // window.
  run::WindowInput input;
  if (args.from) input.mskFechaIni = *args.from;
  if (args.to) input.mskFechaFin = *args.to;
  if (args.units.empty()) {
    input.checked = units;
  } else {
    // A code is compared whole, blanks included ("DF01 " is not "DF01"), as the engine compares
    // it when the unit's rows are copied: letter case aside, when no code is written exactly so.
    for (const auto& code : args.units) {
      auto found = std::find_if(units.begin(), units.end(),
                                [&](const run::Unit& unit) { return unit.code == code; });
      if (found == units.end())
        found = std::find_if(units.begin(), units.end(), [&](const run::Unit& unit) {
          return engine::dialect::compareIgnoringCase(unit.code, code) == 0;
        });
      if (found == units.end())
        return usageError("La unidad '" + code +
                          "' no está en la lista de unidades de la base de datos (vea --unidades; "
                          "escriba la clave con sus espacios, entre comillas).");
      if (std::ranges::none_of(input.checked,
                               [&](const run::Unit& unit) { return unit.code == found->code; }))
        input.checked.push_back(*found);
    }
  }
  StderrMessages messages;
  const auto checked = run::checkInput(input, messages);
  if (const auto* refusal = std::get_if<run::Refusal>(&checked))
    return usageError(refusal->message);
  run::RunRequest runRequest = run::runRequest(std::get<run::AcceptedInput>(checked), session);
  runRequest.threads = args.threads;
  runRequest.officeRules = std::move(checkedRules);
  runRequest.notes = std::exchange(session.notes, {});
  runRequest.cancel = &interrupted;

  std::ofstream traceFile;
  if (args.trace) {
    traceFile.open(platform::pathFromUtf8(*args.trace), std::ios::trunc | std::ios::binary);
    if (!traceFile) return usageError("No se puede escribir la traza en '" + *args.trace + "'.");
  }
  // From here on the run itself stops on Ctrl-C, and says what it finished.
  stopping.reset();
  if (interrupted) return interruptedBeforeTheRun();
  run::RunOutcome outcome;
  {
    TerminalProgress progress(platform::isTerminal(platform::StandardStream::Error));
    outcome = run::runValidation(*folder, runRequest, &progress, args.trace ? &traceFile : nullptr);
  }
  if (args.trace && (!outcome.traceIntact || !traceFile.flush()))
    std::cerr << "Aviso: la traza '" << *args.trace
              << "' quedó incompleta (no se pudo escribir en el archivo).\n";
  if (outcome.errorReport) {
    std::cerr << outcome.errorReport->text() << '\n';
    return kAbandoned;
  }
  for (const auto& unit : outcome.units)
    std::cout << unit.unit << "  " << unit.verdict << "  " << countsOf(unit) << '\n';
  std::cout << run::MensajeFinal(runRequest, outcome) << '\n';
  if (outcome.findingsWorkbook.empty())
    std::cout << "No se pudo escribir el resumen de hallazgos; el detalle está en "
              << platform::utf8(outcome.log) << '\n';
  else
    std::cout << "Hallazgos por unidad y por regla: " << platform::utf8(outcome.findingsWorkbook)
              << '\n';
  if (args.times) {
    auto seconds = [](std::chrono::microseconds t) { return std::to_string(t.count() / 1e6); };
    std::cout << "Tiempos (s): copia " << seconds(outcome.times.copying) << ", reglas "
              << seconds(outcome.times.rules) << ", libros " << seconds(outcome.times.workbooks)
              << '\n';
  }
  if (outcome.interrupted) return kInterrupted;
  // Without its summary of findings the run did not leave what it promises: a script must not
  // take it for a finished one.
  if (outcome.findingsWorkbook.empty()) return kAbandoned;
  return run::nothingChecked(outcome) ? kNothingChecked : kFinished;
}

}  // namespace

int main(int argc, char** argv) {
  // Past a file-size limit a write must fail like a full disk, reported and survived, instead of
  // killing the process halfway through a file.
  platform::failWritesPastFileSizeLimit();
  platform::prepareConsole();
  cli::Arguments args;
  try {
    args = cli::parseArguments(platform::commandLineArguments(argc, argv));
  } catch (const std::invalid_argument& e) {
    return usageError(e.what());
  }
  if (args.help) {
    std::cout << cli::kUsage;
    return kFinished;
  }
  if (args.checkRules) return checkRulesFile(*args.checkRules);
  if (args.history) return listHistory(*args.history, programFolder(argv[0]));
  return validate(args, programFolder(argv[0]));
}
