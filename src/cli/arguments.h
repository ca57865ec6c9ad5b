// The command line of kolt-validar.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kolt::cli {

struct Arguments {
  bool help = false;
  bool listUnits = false;  // --unidades ORIGEN
  std::string source;
  std::optional<std::string> from;  // --desde dd/mm/aaaa
  std::optional<std::string> to;    // --hasta
  std::vector<std::string> units;   // --unidad; empty: every unit of the list
  std::optional<std::string> catalogue;
  std::optional<std::string> resultsFolder;
  std::optional<std::string> trace;
  bool times = false;                      // --tiempos: print where the run's time went
  unsigned threads = 0;                    // --hilos: units validated side by side; 0: one per core
  std::optional<std::string> officeRules;  // --reglas: the office's rules file
  std::optional<std::string> checkRules;   // --comprobar-reglas: check that file, run nothing
  // --historial [CARPETA]: list the runs kept in that results folder ("" the default one).
  std::optional<std::string> history;
};

// Throws std::invalid_argument with a Spanish message on a bad command line.
Arguments parseArguments(const std::vector<std::string>& args);

extern const char* const kUsage;
// What a usage error ends with.
extern const char* const kHelpHint;

}  // namespace kolt::cli
