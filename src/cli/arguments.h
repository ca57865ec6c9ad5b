// The command line of kolt-validar.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kolt::cli {

struct Arguments {
  bool help = false;
  bool listUnits = false;  // --unidades ORIGEN
  std::string origen;
  std::optional<std::string> desde;  // dd/mm/aaaa
  std::optional<std::string> hasta;
  std::vector<std::string> unidades;  // empty: every unit of the list
  std::optional<std::string> catalogo;
  std::optional<std::string> resultados;
  std::optional<std::string> traza;
  bool tiempos = false;  // print where the run's time went
  unsigned hilos = 0;    // units validated side by side; 0: one per core
};

// Throws std::invalid_argument with a Spanish message on a bad command line.
Arguments parseArguments(const std::vector<std::string>& args);

extern const char* const kUsage;

}  // namespace kolt::cli
