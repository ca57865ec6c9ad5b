// kolt-validar with the office's rules file: a faulty file (named, or found in the user's data
// folder) stops the run with its message and nothing written, and --comprobar-reglas says what is
// wrong with each rule. The checks themselves are tests/rules/office_rules.cases's.
#include <gtest/gtest.h>

#include <fstream>

#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

std::string rule(int number, const std::string& statement) {
  return "[[regla]]\nnumero = " + std::to_string(number) + "\ndescripcion = 'x'\nsentencias = ['" +
         statement + "']\n";
}

TEST(OfficeRulesCommand, AFaultyFileStopsTheRunAndACheckSaysOfEachRuleWhetherItIsCorrect) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  test::WorkingDb(dir / "origen.db").egreso({{"expediente", "1234A678"}});
  test::WorkingDb{dir / "catalogo.db"};
  fs::create_directories(dir / "datos" / "validaciones-kolt");
  std::ofstream(dir / "datos" / "validaciones-kolt" / "ReglasAdicionales.toml")
      << rule(114, "select peso Into Validacion114 From egreso");         // refused once compiled
  std::ofstream(dir / "reglas.toml") << rule(114, "DELETE FROM egreso");  // refused as read
  std::ofstream(dir / "correcta.toml")
      << rule(114, "select folio Into Validacion114 From egreso") << rule(115, "DROP TABLE egreso");
  const auto in = [&](const char* name) { return " '" + (dir / name).string() + "'"; };
  const std::string validate = "XDG_DATA_HOME='" + (dir / "datos").string() + "' '" +
                               (test::binaryDir() / "bin" / "kolt-validar").string() + "'" +
                               in("origen.db") + " --catalogo" + in("catalogo.db") +
                               " --resultados" + in("R") + " ";
  const struct {
    std::string args, expected;
    int status;
  } runs[] = {
      {"", "Regla 114 (línea 1): sentencia 1: La columna 'peso' no existe", 2},
      {"--reglas" + in("reglas.toml"),
       "Regla 114 (línea 1): sentencia 1: Construcción no admitida: DELETE", 2},
      {"--comprobar-reglas" + in("correcta.toml"),
       "Regla 114 (línea 1): correcta\nRegla 115 (línea 5): sentencia 1: la sentencia borra la "
       "tabla egreso",
       2},
      {"--reglas '" + test::sourceDir().string() + "/docs/examples/ReglasAdicionales.toml'",
       "DFSSA000001  A REVISAR  1 hallazgo  ", 0},
  };
  for (const auto& run : runs) {
    SCOPED_TRACE(run.args);
    std::string out;
    EXPECT_EQ(test::runCommand(validate + run.args + " 2>&1", out), run.status);
    EXPECT_NE(out.find(run.expected), std::string::npos) << out;
    // Nothing in the results folder but the lock every run takes, until a run succeeds.
    int written = 0;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "R", ec))
      written += entry.path().filename() != "Validacion.lock";
    EXPECT_EQ(written == 0, run.status != 0) << written;
  }
}

}  // namespace
}  // namespace kolt::cli
