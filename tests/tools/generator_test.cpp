// The synthetic discharge databases: clean where they should be, and with an error for every rule.
#include <gtest/gtest.h>

#include <set>

#include "db/workbook.h"
#include "rules/rule_plan.h"
#include "run/driver.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/paths.h"

namespace kolt {
namespace {

namespace fs = std::filesystem;

// Generates a database and validates all its units against the demo catalogue; returns the rule
// numbers that found something, and the verdicts.
std::set<int> validateGenerated(const test::TempDir& dir, const std::string& options,
                                std::vector<std::string>& verdicts) {
  std::string out;
  const fs::path bin = test::binaryDir() / "bin";
  EXPECT_EQ(test::runCommand((bin / "kolt-generar").string() + " '" +
                                 (dir.path() / "origen.db").string() + "' " + options,
                             out),
            0)
      << out;
  run::Context ctx(bin);
  ctx.carpetaResultados = dir.path() / "R";
  run::abreBases(ctx, dir.path() / "origen.db");
  rules::StatementLog log;
  ctx.gaUnidades = run::CargaUnidades(ctx.cnnOrigen, log);
  run::RunOutcome outcome = run::ProcesaValidacion(ctx, {});
  EXPECT_FALSE(outcome.errorReport);
  EXPECT_EQ(outcome.failedStatements, 0);
  std::set<int> found;
  for (const auto& unit : outcome.units) {
    verdicts.push_back(unit.resultado);
    const fs::path book = ctx.resultados() / ("Val" + unit.unidad + ".xls");
    if (!fs::exists(book)) continue;
    for (const auto& sheet : db::sheetNames(book))
      if (sheet.starts_with("Validacion")) found.insert(std::stoi(sheet.substr(10)));
  }
  return found;
}

TEST(Generator, EveryRuleFindsADeliberateErrorInTwentyThousandDischarges) {
  test::TempDir dir;
  std::vector<std::string> verdicts;
  const auto found = validateGenerated(dir, "--egresos 20000 --unidades 4 --limpias 1", verdicts);
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue()))
    EXPECT_TRUE(found.count(rule.number)) << "regla " << rule.number;
  EXPECT_EQ(verdicts,
            (std::vector<std::string>{"CORRECTA", "A REVISAR", "A REVISAR", "A REVISAR"}));
}

TEST(Generator, CleanDataBreaksNoRule) {
  test::TempDir dir;
  std::vector<std::string> verdicts;
  EXPECT_TRUE(validateGenerated(dir, "--egresos 5000 --unidades 2 --errores 0", verdicts).empty());
  EXPECT_EQ(verdicts, (std::vector<std::string>{"CORRECTA", "CORRECTA"}));
}

}  // namespace
}  // namespace kolt
