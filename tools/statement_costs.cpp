// Where one unit's validation spends its time: runs the whole validation of one unit, on one
// thread, and prints its costliest statements with the plan the engine chose for each, then the
// time of each rule. Every change for speed starts from these numbers.
//
//   kolt-costes FUENTE [UNIDAD] [--catalogo ARCHIVO] [--primeras N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/platform/arguments.h"
#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "help_option.h"
#include "run/driver.h"
#include "run/input_check.h"
#include "run/session.h"
#include "run/unit_listing.h"

namespace {

namespace fs = std::filesystem;
using kolt::engine::StatementKind;
using kolt::engine::StatementRecord;

struct Cost {
  int rule;
  StatementKind kind;
  std::string text;
  std::chrono::microseconds duration;
  std::int64_t rows;
  std::string plan;
};

const char* kindName(StatementKind kind) {
  switch (kind) {
    case StatementKind::Drop:
      return "borrado";
    case StatementKind::WorkTable:
      return "tabla de trabajo";
    case StatementKind::Rule:
      return "regla";
    case StatementKind::Count:
      return "conteo";
    case StatementKind::Export:
      return "exportación";
  }
  return "";
}

double milliseconds(std::chrono::microseconds t) {
  return static_cast<double>(t.count()) / 1000.0;
}

constexpr const char* kUsage =
    "Uso: kolt-costes FUENTE [UNIDAD] [--catalogo ARCHIVO] [--primeras N]\n"
    "Valida una unidad (la primera de la fuente si no se indica) en un solo hilo e imprime las\n"
    "N sentencias más costosas (20 si no se indica) con el plan del motor para cada una, y el\n"
    "tiempo de cada regla.\n";

}  // namespace

int main(int argc, char** argv) {
  const kolt::platform::Utf8Argv utf8Argv(argc, argv);
  kolt::platform::prepareConsole();
  if (kolt::tools::asksForHelp(argc, argv)) return kolt::tools::printHelp(kUsage);
  std::vector<std::string> positional;
  std::string catalogue;
  std::size_t shown = 20;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--catalogo" && i + 1 < argc)
      catalogue = argv[++i];
    else if (arg == "--primeras" && i + 1 < argc)
      shown = static_cast<std::size_t>(std::stoul(argv[++i]));
    else
      positional.push_back(arg);
  }
  if (positional.empty() || positional.size() > 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  kolt::run::Session session(kolt::platform::programFile(argv[0]).parent_path());
  // A folder of its own: two of these may run at once (two checkouts' tests).
  const fs::path results =
      fs::temp_directory_path() / ("kolt-costes-" + std::to_string(std::random_device{}()));
  std::error_code ec;
  fs::remove_all(results, ec);
  session.resultsFolder = results;
  std::vector<Cost> costs;
  kolt::run::RunOutcome outcome;
  try {
    kolt::run::openDatabases(session, kolt::platform::pathFromUtf8(positional[0]), {},
                             kolt::platform::pathFromUtf8(catalogue));
    kolt::run::RunRequest request = kolt::run::runRequest({}, session);
    if (positional.size() == 2) {
      request.units = {{positional[1], ""}};
    } else {
      const kolt::run::UnitListing listing = kolt::run::readUnits(session.cnnOrigen);
      if (listing.units.empty()) {
        std::cerr << "La fuente no tiene unidades que validar.\n";
        return 1;
      }
      request.units = {listing.units.front()};
    }
    request.threads = 1;
    request.statementRan = [&](kolt::engine::Connection& cnn, const StatementRecord& r) {
      std::string plan;
      try {
        plan = cnn.queryPlan(r.text);
      } catch (const kolt::base::Error& e) {
        plan = "(sin plan: " + e.description() + ")\n";
      }
      costs.push_back({r.rule, r.kind, r.text, r.duration, r.rows, std::move(plan)});
    };
    outcome = kolt::run::runValidation(request);
  } catch (const kolt::base::Error& e) {
    std::cerr << e.number() << " - " << e.description() << '\n';
    return 1;
  }
  fs::remove_all(results, ec);
  if (outcome.errorReport) {
    std::cerr << outcome.errorReport->text() << '\n';
    return 1;
  }

  std::chrono::microseconds total{0};
  std::map<int, std::chrono::microseconds> byRule;
  for (const Cost& c : costs) {
    total += c.duration;
    byRule[c.rule] += c.duration;
  }
  std::ranges::sort(costs, std::greater{}, &Cost::duration);
  for (const auto& unit : outcome.units)
    std::printf("unidad %s: %lld egresos, %zu sentencias, %.1f ms\n\n", unit.unit.c_str(),
                static_cast<long long>(unit.discharges), costs.size(), milliseconds(total));
  for (std::size_t i = 0; i < std::min(shown, costs.size()); ++i) {
    const Cost& c = costs[i];
    std::printf("%2zu. %.1f ms (%.1f %%), regla %d, %s, %lld filas\n    %s\n", i + 1,
                milliseconds(c.duration), 100.0 * milliseconds(c.duration) / milliseconds(total),
                c.rule, kindName(c.kind), static_cast<long long>(c.rows), c.text.c_str());
    std::istringstream plan(c.plan);
    for (std::string step; std::getline(plan, step);) std::printf("      %s\n", step.c_str());
    std::printf("\n");
  }
  std::vector<std::pair<int, std::chrono::microseconds>> rules(byRule.begin(), byRule.end());
  std::ranges::sort(rules, std::greater{}, &std::pair<int, std::chrono::microseconds>::second);
  std::printf("Por regla (0: copia e índices):\n");
  for (std::size_t i = 0; i < std::min(shown, rules.size()); ++i)
    std::printf("  regla %3d  %8.1f ms  %5.1f %%\n", rules[i].first, milliseconds(rules[i].second),
                100.0 * milliseconds(rules[i].second) / milliseconds(total));
  return 0;
}
