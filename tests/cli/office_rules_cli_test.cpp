// kolt-validar with the office's rules file: a faulty file stops the run before anything is
// written, --comprobar-reglas says what is wrong with each rule, and the file is found in the
// user's data folder.
#include <gtest/gtest.h>

#include <fstream>

#include "rules/office_rule_cases.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

class OfficeRulesCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WorkingDb source(dir / "origen.db");
    source.egreso({{"expediente", "1234A678"}});
    test::WorkingDb catalogue(dir / "catalogo.db");
  }

  // kolt-validar on the source with `args`, the user's data in dir/datos; its exit status.
  int run(const std::string& args, std::string& out) {
    const fs::path exe = test::binaryDir() / "bin" / "kolt-validar";
    return test::runCommand("XDG_DATA_HOME='" + (dir / "datos").string() + "' " + exe.string() +
                                " '" + (dir / "origen.db").string() + "' --catalogo '" +
                                (dir / "catalogo.db").string() + "' --resultados '" +
                                (dir / "R").string() + "' " + args + " 2>&1",
                            out);
  }

  // The files a run left in the results folder, but for the lock every run takes.
  std::vector<std::string> results() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(dir / "R", ec))
      if (entry.path().filename() != "Validacion.lock") names.push_back(entry.path().string());
    return names;
  }

  test::TempDir dir;
};

TEST_F(OfficeRulesCommand, AFaultyFileStopsTheRunWithItsMessageAndNothingWritten) {
  for (const auto& c : test::officeRulesCases()) {
    if (c.passes()) continue;
    SCOPED_TRACE("office_rules.cases:" + std::to_string(c.line) + " " + c.name);
    const fs::path file = dir / "reglas.toml";
    std::ofstream(file, std::ios::binary) << c.text;
    std::string out;
    EXPECT_EQ(run("--reglas '" + file.string() + "'", out), 2);
    for (const auto& piece : c.expected) EXPECT_NE(out.find(piece), std::string::npos) << out;
    EXPECT_EQ(results(), std::vector<std::string>{});
  }
}

TEST_F(OfficeRulesCommand, TheUsersFileIsFoundAndANamedOneTakesItsPlace) {
  fs::create_directories(dir / "datos" / "validaciones-kolt");
  std::ofstream(dir / "datos" / "validaciones-kolt" / "ReglasAdicionales.toml")
      << "[[regla]]\nnumero = 114\ndescripcion = 'x'\nsentencias = ['select peso Into "
         "Validacion114 From egreso']\n";
  std::string out;
  EXPECT_EQ(run("", out), 2);
  EXPECT_NE(out.find("Regla 114 (línea 1): sentencia 1: La columna 'peso' no existe"),
            std::string::npos)
      << out;

  const fs::path example = test::sourceDir() / "docs" / "examples" / "ReglasAdicionales.toml";
  EXPECT_EQ(run("--reglas '" + example.string() + "'", out), 0) << out;
  EXPECT_NE(out.find("DFSSA000001  A REVISAR  1 hallazgo  "), std::string::npos) << out;
}

TEST_F(OfficeRulesCommand, CheckingAFileSaysOfEachRuleWhetherItIsCorrect) {
  const fs::path file = dir / "reglas.toml";
  std::ofstream(file) << "[[regla]]\nnumero = 114\ndescripcion = 'x'\nsentencias = ['select "
                         "folio Into Validacion114 From egreso']\n"
                         "[[regla]]\nnumero = 115\ndescripcion = 'y'\nsentencias = ['DROP TABLE "
                         "egreso']\n";
  const fs::path exe = test::binaryDir() / "bin" / "kolt-validar";
  std::string out;
  EXPECT_EQ(
      test::runCommand(exe.string() + " --comprobar-reglas '" + file.string() + "' 2>&1", out), 2);
  EXPECT_NE(out.find("Regla 114 (línea 1): correcta\nRegla 115 (línea 5): sentencia 1: la "
                     "sentencia borra la tabla egreso"),
            std::string::npos)
      << out;
}

}  // namespace
}  // namespace kolt::cli
