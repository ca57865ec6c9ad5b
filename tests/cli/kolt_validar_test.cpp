// The batch command as a user runs it: arguments, messages and exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

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
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"--desde"}, {"a.mdb", "b.mdb"}, {"a.mdb", "--nada"}, {"a.mdb", "--unidad"}})
    EXPECT_THROW(parseArguments(args), std::invalid_argument);
  Arguments a = parseArguments(
      {"a.mdb", "--unidad", "X1", "--unidad", "X2", "--desde", "01/01/2023", "--traza", "t.txt"});
  EXPECT_EQ(a.source, "a.mdb");
  EXPECT_EQ(a.units, (std::vector<std::string>{"X1", "X2"}));
  EXPECT_EQ(a.from, "01/01/2023");
  EXPECT_FALSE(a.to);
  EXPECT_TRUE(parseArguments({"--help"}).help);
  EXPECT_TRUE(parseArguments({"a.mdb", "--tiempos"}).times);
}

class KoltValidar : public ::testing::Test {
 protected:
  void SetUp() override {
    KOLT_NEEDS_LINUX_TOOL(PosixShell);
    test::WorkingDb source(dir / "origen.db");
    source.egreso();
    source.egreso({{"clues", "DFSSA000002"}, {"edad", 131}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000002"}, {"DESCUNIDAD", "CLINICA NORTE"}});
    test::WorkingDb catalogue(dir / "catalogo.db");
  }

  // Runs kolt-validar with `args`; returns its exit status, its output in `out`.
  int run(const std::string& args, std::string& out, const fs::path& catalogue = {}) {
    const fs::path exe = test::binaryDir() / "bin" / "kolt-validar";
    return test::runCommand(exe.string() + " " + args + " --catalogo '" +
                                (catalogue.empty() ? dir / "catalogo.db" : catalogue).string() +
                                "' --resultados '" + (dir / "R").string() + "' 2>&1",
                            out);
  }

  std::string origen() { return "'" + (dir / "origen.db").string() + "'"; }

  // The source as an Access file, as users have it; its companion is built beside it.
  fs::path accessSource() {
    const fs::path mdb = dir / "origen.mdb";
    std::string out;
    EXPECT_EQ(test::runCommand((test::binaryDir() / "bin" / "kolt-exportar-mdb").string() + " '" +
                                   (dir / "origen.db").string() + "' '" + mdb.string() + "' 2>&1",
                               out),
              0)
        << out;
    return mdb;
  }

  test::TempDir dir;
};

TEST_F(KoltValidar, ValidatesTheChosenUnitsAndSaysWhereTheResultsAre) {
  std::string out;
  EXPECT_EQ(run(origen() + " --unidades", out), 0);
  EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
  EXPECT_EQ(run(origen() + " --unidad dfssa000002 --traza '" + (dir / "t.txt").string() + "'", out),
            0);
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo\n"), std::string::npos) << out;
  EXPECT_NE(out.find("dentro de la carpeta de " + (dir / "R").string() + "\n"), std::string::npos);
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
  const std::string source = "'" + (dir / "blancos.db").string() + "'";
  std::string out;
  EXPECT_EQ(run(source + " --unidades", out), 0);
  EXPECT_EQ(out, "DF  SSA 01  UNIDAD\nDFSSA000034   UNIDAD\n");
  EXPECT_EQ(run(source, out), 0) << out;
  EXPECT_NE(out.find("DF  SSA 01  A REVISAR  1 hallazgo\nDFSSA000034   A REVISAR  1 hallazgo\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(run(source + " --unidad 'DFSSA000034 '", out), 0) << out;
  EXPECT_NE(out.find("DFSSA000034   A REVISAR  1 hallazgo\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("DF  SSA 01  "), std::string::npos) << out;
  // Without its blank it is another code, which the source does not have.
  EXPECT_EQ(run(source + " --unidad DFSSA000034", out), 2);
  EXPECT_NE(out.find("La unidad 'DFSSA000034' no está en la lista"), std::string::npos) << out;
}

// A results folder reached through a linked folder is an ordinary one: only a link in the place of
// a file the run makes is refused.
TEST_F(KoltValidar, AResultsFolderThroughALinkedFolderIsValidatedInto) {
  fs::create_directories(dir / "real");
  fs::create_directory_symlink(dir / "real", dir / "enlace");
  std::string out;
  const fs::path exe = test::binaryDir() / "bin" / "kolt-validar";
  EXPECT_EQ(test::runCommand(exe.string() + " " + origen() + " --catalogo '" +
                                 (dir / "catalogo.db").string() + "' --resultados '" +
                                 (dir / "enlace" / "R").string() + "' 2>&1",
                             out),
            0);
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(dir / "real" / "R" / "ValDFSSA000002.xls"));
}

TEST_F(KoltValidar, RefusesWhatTheWindowRefusesWithItsMessages) {
  std::string out;
  EXPECT_EQ(run(origen() + " --desde 31/04/2023", out), 2);
  EXPECT_NE(out.find("Fecha de Inicio invalida, verifique por favor....."), std::string::npos);
  EXPECT_EQ(run(origen() + " --hasta 29/02/2023", out), 2);
  EXPECT_NE(out.find("Valida Fecha: Fecha invalida"), std::string::npos);
  EXPECT_NE(out.find("Fecha de Fin invalida"), std::string::npos);
  EXPECT_EQ(run(origen() + " --desde 02/03/2023 --hasta 01/03/2023", out), 2);
  EXPECT_NE(out.find("La Fecha Inicial no puede ser mayor a la Fecha Final...."),
            std::string::npos);
  EXPECT_EQ(run(origen() + " --unidad DFSSA000099", out), 2);
  EXPECT_FALSE(fs::exists(dir / "R" / "ResultadosVal.xls"));
  // The message stays on screen: a pointer to the help follows it, not the whole usage text.
  EXPECT_EQ(run(origen() + " --nada", out), 2);
  EXPECT_NE(out.find("--nada"), std::string::npos) << out;
  EXPECT_TRUE(out.ends_with("\nkolt-validar --help para la ayuda\n")) << out;
  EXPECT_EQ(out.find("Uso:"), std::string::npos) << out;
}

TEST_F(KoltValidar, AnUnreadableSourceEndsWithTheErrorAndStatusOne) {
  std::string out;
  std::ofstream(dir / "roto.mdb") << "esto no es una base de datos";
  EXPECT_EQ(run("'" + (dir / "roto.mdb").string() + "'", out), 1);
  EXPECT_NE(out.find(" - "), std::string::npos) << out;
  EXPECT_EQ(run("'" + (dir / "no-existe.mdb").string() + "'", out), 1);
}

// Refused before anything is opened or built: not even the source's companion is made or replaced.
TEST_F(KoltValidar, ASecondRunOnTheSameResultsFolderIsRefusedBeforeItTouchesAnything) {
  const fs::path mdb = accessSource();
  results::ResultsFolder held(dir / "R");
  std::string out;
  EXPECT_EQ(run(origen(), out), 1);
  EXPECT_EQ(out.rfind("3045 - La carpeta de resultados ", 0), 0u) << out;
  EXPECT_NE(out.find("está en uso por otra validación"), std::string::npos) << out;
  EXPECT_EQ(run("'" + mdb.string() + "'", out), 1);
  EXPECT_EQ(out.rfind("3045 - ", 0), 0u) << out;
  EXPECT_FALSE(fs::exists(access::companionBeside(mdb))) << "the refused run built the companion";
}

// A companion the engine finds damaged is built again, and the run's log says so.
TEST_F(KoltValidar, ADamagedCompanionIsBuiltAgainAndTheLogSaysSo) {
  const fs::path mdb = accessSource();
  std::string out;
  ASSERT_EQ(run("--unidades '" + mdb.string() + "'", out), 0) << out;
  const fs::path companion = access::companionBeside(mdb);
  ASSERT_TRUE(fs::exists(companion));
  {
    std::fstream file(companion, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(100);
    const std::string garbage(4000, '\x5a');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  EXPECT_EQ(run("'" + mdb.string() + "'", out), 0) << out;
  EXPECT_NE(out.find("DFSSA000002  A REVISAR  1 hallazgo\n"), std::string::npos) << out;
  std::ifstream in(dir / "R" / "Validacion.log");
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    EXPECT_EQ(run(origen(), out, catalogue), 0) << out;
    EXPECT_NE(out.find("DFSSA000001  CORRECTA  0 hallazgos\n"), std::string::npos) << out;
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
  const fs::path shared = dir / "compartida", mdb = shared / "egresos.mdb";
  fs::create_directories(shared);
  std::string out;
  ASSERT_EQ(test::runCommand((test::binaryDir() / "bin" / "kolt-exportar-mdb").string() + " '" +
                                 (dir / "origen.db").string() + "' '" + mdb.string() + "' 2>&1",
                             out),
            0)
      << out;
  ASSERT_EQ(run("'" + mdb.string() + "' --unidades", out), 0) << out;
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
  EXPECT_EQ(run("'" + mdb.string() + "' --unidades", out), 0) << out;
  EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
  EXPECT_EQ(run("'" + mdb.string() + "'", out), 0) << out;
  EXPECT_NE(out.find("DFSSA000001  CORRECTA  0 hallazgos\nDFSSA000002  A REVISAR  1 hallazgo\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
  // The companion was used as it is, neither written nor made again elsewhere.
  EXPECT_EQ(fs::last_write_time(companion), made);
  EXPECT_EQ(fs::file_size(companion), size);
  EXPECT_FALSE(fs::exists(access::companionInResults(mdb, dir / "R")));
}

}  // namespace
}  // namespace kolt::cli
