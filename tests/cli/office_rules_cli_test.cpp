// kolt-validar finds the office's rules file in the user's data folder, and a faulty one stops the
// run with its message and nothing written. The other invocations with rules files are cases of
// kolt_validar.cases; the checks themselves are tests/rules/office_rules.cases's.
#include <gtest/gtest.h>

#include <fstream>

#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

TEST(OfficeRulesCommand, AFaultyFileInTheUsersDataFolderStopsTheRun) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  test::WorkingDb{dir / "origen.db"}.egreso();
  test::WorkingDb{dir / "catalogo.db"};
  fs::create_directories(dir / "datos" / "validaciones-kolt");
  // Its statement is refused once compiled against the source's tables.
  std::ofstream(dir / "datos" / "validaciones-kolt" / "ReglasAdicionales.toml")
      << "[[regla]]\nnumero = 114\ndescripcion = 'x'\nsentencias = ['select peso Into "
         "Validacion114 From egreso']\n";
  std::string out;
  EXPECT_EQ(test::runCommand("cd '" + dir.path().string() + "' && XDG_DATA_HOME=\"$PWD/datos\" '" +
                                 (test::binaryDir() / "bin" / "kolt-validar").string() +
                                 "' origen.db --catalogo catalogo.db --resultados R 2>&1",
                             out),
            2);
  EXPECT_NE(out.find("Regla 114 (línea 1): sentencia 1: La columna 'peso' no existe"),
            std::string::npos)
      << out;
  EXPECT_FALSE(fs::exists(dir / "R" / "ResultadosVal.xls"));
}

}  // namespace
}  // namespace kolt::cli
