// The office's example rules on generated data: the demonstration's deliberate errors are what
// they find, and a clean unit stays clean under them.
#include <gtest/gtest.h>

#include "run/driver.h"
#include "run/office_rules_check.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"

namespace kolt {
namespace {

TEST(ExampleRules, FindTheDemonstrationsErrorsAndNothingInItsCleanUnit) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  run::Session session(test::binaryDir() / "bin");
  std::string out;
  ASSERT_EQ(test::runCommand((session.app / "kolt-generar").string() + " '" +
                                 (dir.path() / "origen.db").string() +
                                 "' --egresos 3000 --unidades 5 --limpias 1 --errores 0.1",
                             out),
            0)
      << out;
  session.resultsFolder = dir.path() / "R";
  run::openDatabases(session, dir.path() / "origen.db");
  engine::StatementLog log;
  run::RunRequest request = test::requestFor(session, run::CargaUnidades(session.cnnOrigen, log));
  request.officeRules = run::checkedOfficeRules(
      rules::readOfficeRules(test::sourceDir() / "docs" / "examples" / "ReglasAdicionales.toml"),
      session);

  const run::RunOutcome outcome = run::runValidation(request);
  ASSERT_EQ(outcome.units.size(), 5u);
  EXPECT_EQ(outcome.failedStatements, 0);
  EXPECT_EQ(outcome.units[0].verdict, "CORRECTA");
  std::map<int, std::int64_t> rows;
  for (const auto& unit : outcome.units)
    for (const auto& rule : unit.rules)
      if (rule.number > 113) rows[rule.number] += rule.rows;
  for (int number : {114, 115, 116}) EXPECT_GT(rows[number], 0) << "regla " << number;
}

}  // namespace
}  // namespace kolt
