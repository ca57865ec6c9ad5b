// kolt-validar: the validation run from the command line, the same run the window starts.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <utility>
#include <variant>

#include "base/platform/paths.h"
#include "base/platform/process.h"
#include "cli/arguments.h"
#include "engine/dialect/functions.h"
#include "results/results_folder.h"
#include "run/date_utilities.h"
#include "run/driver.h"
#include "run/input_check.h"
#include "run/office_rules_check.h"
#include "run/session.h"
#include "run/source_tables.h"

namespace {

using namespace kolt;

constexpr int kFinished = 0, kAbandoned = 1, kBadUsage = 2;

class StderrMessages : public run::DateMessages {
 public:
  void beep() override {}
  void message(const std::string& text, const std::string& title) override {
    std::cerr << title << ": " << text << '\n';
  }
};

// "3 de 60 unidades validadas; IMSSA000012: regla 45 de 113" on one terminal line, rewritten as
// the run goes.
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

std::filesystem::path programFolder(const char* argv0) {
  return platform::programFile(argv0).parent_path();
}

// The message alone, and where the help is: the whole usage text would push the message off the
// screen.
int usageError(const std::string& message) {
  std::cerr << message << "\n" << cli::kHelpHint << "\n";
  return kBadUsage;
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
// opened or written; its statements are compiled once the source is open.
std::optional<rules::OfficeRulesFile> readRulesFile(const cli::Arguments& args,
                                                    const std::filesystem::path& app) {
  const std::filesystem::path file =
      args.officeRules ? platform::pathFromUtf8(*args.officeRules) : run::officeRulesFile(app);
  if (args.listUnits || file.empty()) return std::nullopt;
  rules::OfficeRulesFile read = rules::readOfficeRules(file);
  rules::acceptedRules(read);
  return read;
}

int validate(const cli::Arguments& args, const std::filesystem::path& app) {
  std::optional<rules::OfficeRulesFile> officeRules;
  try {
    officeRules = readRulesFile(args, app);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kBadUsage;
  }
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
  try {
    run::openDatabases(session, platform::pathFromUtf8(args.source),
                       importProgress(platform::isTerminal(platform::StandardStream::Error)),
                       platform::pathFromUtf8(args.catalogue ? *args.catalogue : ""));
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

  std::vector<run::Unit> units;
  try {
    engine::StatementLog log;
    units = run::CargaUnidades(session.cnnOrigen, log);
  } catch (const base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return kAbandoned;
  }
  if (args.listUnits) {
    for (const auto& unit : units) std::cout << unit.text() << '\n';
    return kFinished;
  }

  // The units asked for, in list order, then the checks of the validation window.
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

  std::ofstream traceFile;
  if (args.trace) {
    traceFile.open(platform::pathFromUtf8(*args.trace), std::ios::trunc | std::ios::binary);
    if (!traceFile) return usageError("No se puede escribir la traza en '" + *args.trace + "'.");
  }
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
    std::cout << unit.unit << "  " << unit.verdict << "  " << unit.findings()
              << (unit.findings() == 1 ? " hallazgo\n" : " hallazgos\n");
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
  return kFinished;
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
  return validate(args, programFolder(argv[0]));
}
