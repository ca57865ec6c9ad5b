// The batch command as a user runs it: arguments, messages and exit status.
#include <gtest/gtest.h>

#include <fstream>

#include "access/companion.h"
#include "base/platform/paths.h"
#include "cli/arguments.h"
#include "engine/connection.h"
#include "results/results_folder.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

TEST(Arguments, BadCommandLinesAreRefused) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{},
                                             {"--desde"},
                                             {"a.mdb", "b.mdb"},
                                             {"a.mdb", "--nada"},
                                             {"a.mdb", "--unidad"},
                                             {"a.mdb", "--hilos", "0"},
                                             {"a.mdb", "--hilos", "257"},
                                             {"a.mdb", "--hilos", "2x"}})
    EXPECT_THROW(parseArguments(args), std::invalid_argument);
  Arguments a = parseArguments({"a.mdb", "--unidad", "X1", "--unidad", "X2", "--desde",
                                "01/01/2023", "--traza", "t.txt", "--hilos", "256"});
  EXPECT_EQ(a.source, "a.mdb");
  EXPECT_EQ(a.units, (std::vector<std::string>{"X1", "X2"}));
  EXPECT_EQ(a.from, "01/01/2023");
  EXPECT_FALSE(a.to);
  EXPECT_EQ(a.threads, 256u);
  EXPECT_TRUE(parseArguments({"--help"}).help);
  EXPECT_TRUE(parseArguments({"a.mdb", "--tiempos"}).times);
}

#ifdef _WIN32
// These run kolt-validar through the POSIX shell, with paths written as text; under Wine,
// scripts/test-windows.sh holds kolt-validar.exe against the Linux build's results instead.
TEST(KoltValidar, RunsThroughThePosixShell) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
}
#else
class KoltValidar : public ::testing::Test {
 protected:
  void SetUp() override {
    KOLT_NEEDS_LINUX_TOOL(PosixShell);
    test::twoUnitSource(dir / "origen.db");
    test::ruleCatalogue(dir / "catalogo.db");
  }

  // Runs kolt-validar with `args` and the test's catalogue and results folder; returns its exit
  // status, its output in `out`.
  int run(std::vector<std::string> args, std::string& out, const fs::path& catalogue = {}) {
    args.insert(args.end(), {"--catalogo", (catalogue.empty() ? dir / "catalogo.db" : catalogue),
                             "--resultados", results});
    return test::runProgram("kolt-validar", args, out);
  }

  // The source as an Access file in `folder`, as users have it; its companion is built beside it.
  fs::path accessSource(const fs::path& folder) {
    const fs::path mdb = folder / "origen.mdb";
    std::string out;
    EXPECT_EQ(test::runProgram("kolt-exportar-mdb", {origen, mdb}, out), 0) << out;
    return mdb;
  }

  test::TempDir dir;
  const std::string origen = dir / "origen.db";
  std::string results = dir / "R";
};

TEST_F(KoltValidar, ValidatesTheChosenUnitsAndSaysWhereTheResultsAre) {
  std::string out;
  EXPECT_EQ(run({origen, "--unidades"}, out), 0);
  EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
  EXPECT_EQ(run({origen, "--unidad", "dfssa000002", "--traza", dir / "t.txt"}, out), 0);
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo  2 egresos\n"), std::string::npos) << out;
  EXPECT_NE(out.find("dentro de la carpeta de " + results + "\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "R" / "ValDFSSA000002.xls"));
  EXPECT_FALSE(fs::exists(dir / "R" / "ValDFSSA000001.xls"));
  EXPECT_GT(fs::file_size(dir / "t.txt"), 1000u);
}

// The list shows a unit as "{code}  {name}"; a code with blanks inside or at its end must still be
// the code the run validates and the one --unidad chooses.
TEST_F(KoltValidar, AUnitCodeWithBlanksIsChosenAndValidatedWhole) {
  {
    test::WorkingDb source(dir / "blancos.db");
    for (const char* code : {"DFSSA000034 ", "DF  SSA 01"}) {
      source.egreso({{"clues", code}, {"edad", 131}});
      source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
    }
  }
  const std::string source = dir / "blancos.db";
  std::string out;
  EXPECT_EQ(run({source, "--unidades"}, out), 0);
  EXPECT_EQ(out, "DF  SSA 01  UNIDAD\nDFSSA000034   UNIDAD\n");
  EXPECT_EQ(run({source}, out), 0) << out;
  EXPECT_NE(out.find("DF  SSA 01  A REVISAR  1 hallazgo  1 egreso\nDFSSA000034   A REVISAR  1 "
                     "hallazgo  1 egreso\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(run({source, "--unidad", "DFSSA000034 "}, out), 0) << out;
  EXPECT_NE(out.find("DFSSA000034   A REVISAR  1 hallazgo  1 egreso\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("DF  SSA 01  "), std::string::npos) << out;
  // Without its blank it is another code, which the source does not have.
  EXPECT_EQ(run({source, "--unidad", "DFSSA000034"}, out), 2);
  EXPECT_NE(out.find("La unidad 'DFSSA000034' no está en la lista"), std::string::npos) << out;
}

// A results folder reached through a linked folder is an ordinary one: only a link in the place of
// a file the run makes is refused.
TEST_F(KoltValidar, AResultsFolderThroughALinkedFolderIsValidatedInto) {
  fs::create_directories(dir / "real");
  fs::create_directory_symlink(dir / "real", dir / "enlace");
  results = (dir / "enlace" / "R").string();
  std::string out;
  EXPECT_EQ(run({origen}, out), 0);
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo  2 egresos\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(dir / "real" / "R" / "ValDFSSA000002.xls"));
}

// Invocations refused (status 2, what the window refuses with its messages) or failed (status 1),
// and two that end well: their status, what the output must say and must not, and no summary
// before a run that ended well.
TEST_F(KoltValidar, RefusalsAndFailuresEndWithTheirStatusAndMessage) {
  std::ofstream(dir / "roto.mdb") << "esto no es una base de datos";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<const char*> says;
    const char* neverSays = nullptr;
  };
  const std::vector<Case> cases = {
      {{origen, "--desde", "31/04/2023"},
       2,
       {"Fecha de Inicio invalida, verifique por favor....."}},
      {{origen, "--hasta", "29/02/2023"},
       2,
       {"Valida Fecha: Fecha invalida", "Fecha de Fin invalida"}},
      {{origen, "--desde", "02/03/2023", "--hasta", "01/03/2023"},
       2,
       {"La Fecha Inicial no puede ser mayor a la Fecha Final...."}},
      {{origen, "--unidad", "DFSSA000099"}, 2, {"DFSSA000099"}},
      // The message stays on screen: a pointer to the help follows it, not the whole usage text.
      {{origen, "--nada"},
       2,
       {"Opción desconocida: --nada", "\nkolt-validar --help para la ayuda\n"},
       "Uso:"},
      {{origen, "--hilos", "0"}, 2, {"--hilos espera un número de 1 a 256"}},
      {{"--help"}, 0, {"Uso: kolt-validar"}},
      {{dir / "roto.mdb"}, 1, {" - "}},
      {{dir / "no-existe.mdb"}, 1, {"no-existe.mdb"}},
      // Last, as it leaves results: equal dates pass, both bounds included.
      {{origen, "--desde", "14/03/2023", "--hasta", "14/03/2023"}, 0, {"DFSSA000002  A REVISAR"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    std::string out;
    EXPECT_EQ(run(c.args, out), c.status) << out;
    for (const char* words : c.says) EXPECT_NE(out.find(words), std::string::npos) << out;
    if (c.neverSays) {
      EXPECT_EQ(out.find(c.neverSays), std::string::npos) << out;
    }
    EXPECT_EQ(fs::exists(dir / "R" / "ResultadosVal.xls"), c.status == 0 && c.args[0] == origen);
  }
}

// Refused before anything is opened or built: not even the source's companion is made or replaced.
TEST_F(KoltValidar, ASecondRunOnTheSameResultsFolderIsRefusedBeforeItTouchesAnything) {
  const fs::path mdb = accessSource(dir.path());
  results::ResultsFolder held(dir / "R");
  std::string out;
  for (const std::string& source : {origen, mdb.string()}) {
    EXPECT_EQ(run({source}, out), 1);
    EXPECT_EQ(out.rfind("3045 - La carpeta de resultados ", 0), 0u) << out;
    EXPECT_NE(out.find("está en uso por otra validación"), std::string::npos) << out;
  }
  EXPECT_FALSE(fs::exists(access::companionBeside(mdb))) << "the refused run built the companion";
}

// A companion the engine finds damaged is built again, and the run's log says so.
TEST_F(KoltValidar, ADamagedCompanionIsBuiltAgainAndTheLogSaysSo) {
  const fs::path mdb = accessSource(dir.path());
  std::string out;
  ASSERT_EQ(run({"--unidades", mdb}, out), 0) << out;
  const fs::path companion = access::companionBeside(mdb);
  ASSERT_TRUE(fs::exists(companion));
  {
    std::fstream file(companion, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(100);
    const std::string garbage(4000, '\x5a');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  EXPECT_EQ(run({mdb}, out), 0) << out;
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo  2 egresos\n"), std::string::npos) << out;
  const std::string log = test::fileText(dir / "R" / "Validacion.log");
  EXPECT_NE(log.find(companion.string() + " estaba dañada"), std::string::npos) << log;
}

// The official catalogue is an Access file; in a folder the program cannot write, its companion
// lives in the results folder, and the run's clean-up must leave it there.
TEST_F(KoltValidar, TheOfficialCataloguesCompanionInTheResultsFolderOutlivesTheRuns) {
  const fs::path sample = test::accessFixturesDir() / "delColTestV1997.mdb";
  ASSERT_TRUE(fs::exists(sample)) << "missing test file " << sample;
  const fs::path oficial = dir / "oficial", catalogue = oficial / "ValidacionesKOLT.mdb";
  fs::create_directories(oficial);
  fs::copy_file(sample, catalogue);
  access::ImportOptions options;
  options.importer = platform::executableIn(test::binaryDir() / "bin", "kolt-importar");
  const fs::path companion = access::companionInResults(catalogue, dir / "R");
  fs::create_directories(dir / "R");
  fs::rename(access::openSourceCompanion(catalogue, dir / "R", options), companion);
  fs::permissions(oficial, fs::perms::owner_write, fs::perm_options::remove);
  {
    engine::Connection tables;
    tables.open(dir / "catalogo.db");
    for (const char* table :
         {"CATCIE10", "CATCIE9MC", "CATLOCAL", "CATSERVICIOS", "catValidaciones", "Folio"})
      tables.execute(std::string("SELECT * INTO ") + table + " IN '" + companion.string() +
                     "' FROM " + table);
  }
  const auto made = fs::last_write_time(companion);

  std::string out;
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(run({origen}, out, catalogue), 0) << out;
    EXPECT_NE(out.find("DFSSA000001  CORRECTA  0 hallazgos  1 egreso\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
    ASSERT_TRUE(fs::exists(companion));
    EXPECT_EQ(fs::last_write_time(companion), made) << "the companion was imported again";
  }
  fs::permissions(oficial, fs::perms::owner_write, fs::perm_options::add);
}

// A colleague validated an Access file in a shared folder, leaving its companion there (made by an
// earlier version of the program, which kept its unit list and verdicts in it); this user may read
// the folder but not write in it.
TEST_F(KoltValidar, AReadOnlyFolderWithAColleaguesCompanionIsValidatedWithoutWritingThere) {
  const fs::path shared = dir / "compartida";
  fs::create_directories(shared);
  const fs::path mdb = accessSource(shared);
  std::string out;
  ASSERT_EQ(run({mdb, "--unidades"}, out), 0) << out;
  const fs::path companion = access::companionBeside(mdb);
  ASSERT_TRUE(fs::exists(companion));
  {
    engine::Connection left;
    left.open(companion);
    for (const char* statement :
         {"DROP TABLE IF EXISTS CLUESSEL", "DROP TABLE IF EXISTS RESULTADOSVALIDACION",
          "CREATE TABLE CLUESSEL (CLUES TEXT)", "INSERT INTO CLUESSEL VALUES ('DFSSA000099')",
          "CREATE TABLE RESULTADOSVALIDACION(Unidad char(11) NULL, PERIODO char(50) NULL, "
          "RESULTADO char(100) NULL)",
          "INSERT INTO RESULTADOSVALIDACION VALUES ('DFSSA000099', 'TODO', 'CORRECTA')"})
      left.executeNative(statement);
  }
  const auto made = fs::last_write_time(companion);
  const auto size = fs::file_size(companion);

  // The Access file itself keeps its attributes: changing them changes its change time, which
  // rightly makes the companion count as another file's.
  test::NoWriting readOnly({shared, companion});
  if (!readOnly.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
  EXPECT_EQ(run({mdb, "--unidades"}, out), 0) << out;
  EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
  EXPECT_EQ(run({mdb}, out), 0) << out;
  EXPECT_NE(out.find("DFSSA000001  CORRECTA  0 hallazgos  1 egreso\nDFSSA000002  A REVISAR  1 "
                     "hallazgo  2 egresos\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
  // The companion was used as it is, neither written nor made again elsewhere.
  EXPECT_EQ(fs::last_write_time(companion), made);
  EXPECT_EQ(fs::file_size(companion), size);
  EXPECT_FALSE(fs::exists(access::companionInResults(mdb, dir / "R")));
}

#endif

}  // namespace
}  // namespace kolt::cli
