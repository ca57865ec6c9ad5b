// The batch command as a user runs it: arguments, messages, exit status and what it leaves. Most
// invocations are the cases of kolt_validar.cases; those needing more than a copy of its source and
// catalogue follow them.
#include <gtest/gtest.h>

#include <fstream>
#include <iomanip>
#include <map>
#include <optional>
#include <regex>
#include <sstream>

#include "access/companion.h"
#include "cli/arguments.h"
#include "engine/connection.h"
#include "results/results_folder.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

// What the command lines accepted mean, and the refusals' messages, are the cases' business, in
// kolt_validar.cases.
TEST(Arguments, BadCommandLinesAreRefused) {
  const std::vector<std::string> refused[] = {{},
                                              {"a.mdb", "b.mdb"},
                                              {"a.mdb", "--unidad"},
                                              {"a.mdb", "--hilos", "257"},
                                              {"a.mdb", "--hilos", "2x"}};
  for (const auto& args : refused) EXPECT_THROW(parseArguments(args), std::invalid_argument);
  EXPECT_TRUE(parseArguments({"--help"}).help);  // the usage needs no source
}

// A case of kolt_validar.cases: its lines by their first word, "" for the texts the output holds.
// "caso TITLE" begins it; "args ..." are the arguments after the source, --catalogo and
// --resultados (a blank kept between double quotes); "origen FILE" is the source instead of
// origen.db; "escribe FILE TEXT" writes the file before the run, "datos/..." in the user's data
// folder; "sql STATEMENT; ..." runs on both copies before the run; "estado N" is the exit status (0
// unless given); "nunca TEXT" a text the output must not hold; "registro TEXT" one the run's log
// holds; "archivo FILE" a file the run leaves, not empty, and "sin FILE" one it does not; any
// other line is a text the output (standard output and error) holds. In a text "\n" is a line end
// and "\t" a tab, and "@" stands for the case's folder wherever it appears. A case that ends with
// 1 or 2 leaves nothing in the results folder but the lock every run takes.
TEST(KoltValidar, RunsTheCasesWithTheirStatusAndWhatTheySay) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  std::ifstream in(test::sourceDir() / "tests/cli/kolt_validar.cases");
  const std::string words = " caso args sql escribe origen estado nunca registro archivo sin ";
  std::vector<std::map<std::string, std::vector<std::string>>> cases;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    line = std::regex_replace(std::regex_replace(line, std::regex("\\\\n"), "\n"),
                              std::regex("\\\\t"), "\t");
    std::string word = line.substr(0, line.find(' '));
    if (word == "caso") cases.emplace_back();
    if (words.find(" " + word + " ") == std::string::npos) word.clear();
    cases.back()[word].push_back(word.empty() ? line : line.substr(word.size() + 1));
  }
  EXPECT_GE(cases.size(), 20u);
  test::TempDir dir;
  {
    test::WorkingDb source(dir / "origen.db");
    source.egreso().egreso({{"clues", "DF  SSA 02 "}, {"edad", 131}});
    source.egreso({{"clues", "DFSSA000999"}});
    source.insert("CATCLUES", {{"CLUES", "DF  SSA 02 "}, {"DESCUNIDAD", "CLINICA NORTE"}});
  }
  test::ruleCatalogue(dir / "catalogo.db");
  for (auto& c : cases) {
    SCOPED_TRACE(c["caso"].at(0));
    test::TempDir place;
    const auto placed = [&](const std::string& text) {
      return std::regex_replace(std::regex_replace(text, std::regex("@"), place.path().string()),
                                std::regex("<fuentes>"), test::sourceDir().string());
    };
    std::ofstream(place / "roto.mdb") << "esto no es una base de datos";
    for (const std::string& write : c["escribe"]) {
      const fs::path file = place / write.substr(0, write.find(' '));
      fs::create_directories(file.parent_path());
      std::ofstream(file) << write.substr(write.find(' ') + 1);
    }
    std::string word;
    for (const char* file : {"origen.db", "catalogo.db"}) {
      fs::copy_file(dir / file, place / file);
      engine::Connection copy;
      copy.open(place / file);
      for (const std::string& line : c["sql"])
        for (std::istringstream statements(line); std::getline(statements >> std::ws, word, ';');)
          copy.executeNative(word);
    }
    // The case's own data folder, where the program looks for the office's rules: the tester's is
    // no business of the cases. No argument of theirs holds a quote.
    std::string command = "XDG_DATA_HOME='" + (place / "datos").string() + "' '" +
                          (test::binaryDir() / "bin/kolt-validar").string() + "' '" +
                          (place / (c["origen"].empty() ? "origen.db" : c["origen"][0])).string() +
                          "' --catalogo '" + (place / "catalogo.db").string() + "' --resultados '" +
                          (place / "R").string() + "'";
    for (const std::string& line : c["args"])
      for (std::istringstream words(line); words >> std::quoted(word);)
        command += " '" + placed(word) + "'";
    const int status = c["estado"].empty() ? 0 : std::stoi(c["estado"][0]);
    std::string out;
    EXPECT_EQ(test::runCommand(command + " 2>&1", out), status) << out;
    for (const std::string& said : c[""])
      EXPECT_NE(out.find(placed(said)), std::string::npos) << said << "\n" << out;
    for (const std::string& unsaid : c["nunca"])
      EXPECT_EQ(out.find(unsaid), std::string::npos) << unsaid << "\n" << out;
    for (const std::string& file : c["archivo"])
      EXPECT_TRUE(fs::exists(place / file) && fs::file_size(place / file) > 0) << file;
    for (const std::string& file : c["sin"]) EXPECT_FALSE(fs::exists(place / file)) << file;
    const std::string log = test::fileText(place / "R/Validacion.log");
    for (const std::string& logged : c["registro"])
      EXPECT_NE(log.find(logged), std::string::npos) << logged << "\n" << log;
    std::error_code none;
    for (const auto& entry : fs::recursive_directory_iterator(place / "R", none))
      EXPECT_TRUE((status != 1 && status != 2) || entry.path().filename() == "Validacion.lock")
          << entry.path();
  }
}

// Ctrl-C once the first unit is done: the run ends with 130, says it stopped and leaves the folder
// free (what a stopped run leaves is the run's tests', tests/run/driver_test.cpp).
TEST(KoltValidar, AnInterruptedRunEndsCleanlyWithWhatItFinished) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  test::manyUnitSource(dir / "origen.db", 40);
  test::ruleCatalogue(dir / "catalogo.db");
  std::string status;
  test::runCommand("cd '" + dir.path().string() + "'\n'" +
                       (test::binaryDir() / "bin/kolt-validar").string() +
                       "' origen.db --hilos 1 --catalogo catalogo.db --resultados R >out 2>err &\n"
                       "pid=$!; for i in $(seq 600); do grep -q '^\\[1/' err && break; sleep 0.05; "
                       "done\nkill -INT $pid; wait $pid; echo $?\n",
                   status);
  const std::string out = test::fileText(dir / "out");
  EXPECT_EQ(status, "130\n") << out << test::fileText(dir / "err");
  EXPECT_NE(out.find("  A REVISAR  "), std::string::npos) << out;
  EXPECT_NE(out.find("La validación se interrumpió"), std::string::npos) << out;
  EXPECT_FALSE(fs::exists(dir / "R/Validacion.tmp"));
}

#ifdef _WIN32
// These need links, permissions and companions made beside the tests; under Wine,
// scripts/test-windows.sh holds kolt-validar.exe against the Linux build's results instead.
TEST(KoltValidarFiles, RunsThroughThePosixShell) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
}
#else
class KoltValidarFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    KOLT_NEEDS_LINUX_TOOL(PosixShell);
    test::twoUnitSource(origen);
    test::ruleCatalogue(dir / "catalogo.db");
  }

  // Runs kolt-validar with `args`, the catalogue and the results folder; its output in `out`.
  int run(std::vector<std::string> args, const fs::path& catalogue = {}) {
    args.insert(args.end(), {"--catalogo", (catalogue.empty() ? dir / "catalogo.db" : catalogue),
                             "--resultados", results});
    return test::runProgram("kolt-validar", args, out);
  }

  // `db` as an Access file, as users have theirs.
  fs::path exported(const fs::path& db, const fs::path& mdb) {
    fs::create_directories(mdb.parent_path());
    EXPECT_EQ(test::runProgram("kolt-exportar-mdb", {db, mdb}, out), 0) << out;
    return mdb;
  }

  void expectSaid(const std::string& text) { EXPECT_NE(out.find(text), std::string::npos) << out; }

  test::TempDir dir;
  const std::string origen = dir / "origen.db";
  std::string results = dir / "R", out;
};

// A results folder reached through a linked folder is an ordinary one: only a link in the place of
// a file the run makes is refused.
TEST_F(KoltValidarFiles, AResultsFolderThroughALinkedFolderIsValidatedInto) {
  fs::create_directories(dir / "real");
  fs::create_directory_symlink(dir / "real", dir / "enlace");
  results = (dir / "enlace" / "R").string();
  EXPECT_EQ(run({origen}), 0);
  expectSaid("DFSSA000002  A REVISAR  1 hallazgo  2 egresos  primera validación\n");
  EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(dir / "real" / "R" / "ValDFSSA000002.xls"));
}

// On Linux a backslash is a character of a folder's name like any other, never a separator: the
// source's folder, the catalogue's and the results folder may each hold one (all three do here, so
// a slip with any of them fails the run).
TEST_F(KoltValidarFiles, ABackslashInAFoldersNameIsPartOfTheName) {
  const fs::path odd = dir / "a\\b";
  fs::create_directories(odd);
  fs::copy_file(origen, odd / "origen.db");
  fs::copy_file(dir / "catalogo.db", odd / "catalogo.db");
  results = (odd / "R").string();
  EXPECT_EQ(run({odd / "origen.db"}, odd / "catalogo.db"), 0);
  expectSaid(
      "DFSSA000001  CORRECTA  0 hallazgos  1 egreso  primera validación\nDFSSA000002  A REVISAR  "
      "1 hallazgo  2 egresos  primera validación\n");
  EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(odd / "R" / "ValDFSSA000002.xls"));
  // Nothing was made in a folder named as the backslash would split it.
  EXPECT_FALSE(fs::exists(dir / "a"));
}

// A run on a results folder in use is refused before anything is opened or built, not even the
// source's companion; a companion the engine finds damaged is built again, and the log says so.
TEST_F(KoltValidarFiles, AnAccessSourcesCompanionIsBuiltOnlyByARunThatMayGoOn) {
  const fs::path mdb = exported(origen, dir / "origen.mdb");
  const fs::path companion = access::companionBeside(mdb);
  {
    results::ResultsFolder held(dir / "R");
    for (const std::string& source : {origen, mdb.string()}) {
      EXPECT_EQ(run({source}), 1);
      EXPECT_EQ(out.rfind("3045 - La carpeta de resultados ", 0), 0u) << out;
      expectSaid("está en uso por otra validación");
    }
    EXPECT_FALSE(fs::exists(companion)) << "the refused run built the companion";
  }
  ASSERT_EQ(run({"--unidades", mdb}), 0) << out;
  ASSERT_TRUE(fs::exists(companion));
  std::fstream(companion, std::ios::in | std::ios::out | std::ios::binary).seekp(100)
      << std::string(4000, '\x5a');
  EXPECT_EQ(run({mdb}), 0) << out;
  expectSaid("DFSSA000002  A REVISAR  1 hallazgo  2 egresos  primera validación\n");
  const std::string log = test::fileText(dir / "R" / "Validacion.log");
  EXPECT_NE(log.find(companion.string() + " estaba dañada"), std::string::npos) << log;
}

// A run whose summary of findings cannot be written (something else holds its name) is no finished
// run for a script, though its units keep what they found.
TEST_F(KoltValidarFiles, ARunWithoutItsSummaryOfFindingsDoesNotEndAsFinished) {
  fs::create_directories(dir / "R" / "Hallazgos.xls" / "ocupado");
  EXPECT_EQ(run({origen}), 1) << out;
  expectSaid("DFSSA000002  A REVISAR  1 hallazgo  2 egresos  primera validación\n");
  expectSaid("No se pudo escribir el resumen de hallazgos");
}

// A colleague validated an Access file in a shared folder, leaving its companion there (made by an
// earlier version of the program, which kept its unit list and verdicts in it); the official
// catalogue is an Access file in a folder the program cannot write, so its companion goes to the
// results folder. This user may read both folders but write in neither: the runs use both
// companions as they are, and the results folder's clean-up leaves the catalogue's there.
TEST_F(KoltValidarFiles, ReadOnlyFoldersWithTheirCompanionsAreValidatedWithoutWritingThere) {
  const fs::path mdb = exported(origen, dir / "compartida/origen.mdb");
  const fs::path catalogue = exported(dir / "catalogo.db", dir / "oficial/ValidacionesKOLT.mdb");
  const fs::path ofSource = access::companionBeside(mdb);
  const fs::path ofCatalogue = access::companionInResults(catalogue, dir / "R");
  ASSERT_EQ(run({mdb, "--unidades"}), 0) << out;
  {
    engine::Connection left;
    left.open(ofSource);
    for (const char* statement :
         {"CREATE TABLE CLUESSEL (CLUES TEXT)", "INSERT INTO CLUESSEL VALUES ('DFSSA000099')",
          "CREATE TABLE RESULTADOSVALIDACION(Unidad char(11) NULL, PERIODO char(50) NULL, "
          "RESULTADO char(100) NULL)",
          "INSERT INTO RESULTADOSVALIDACION VALUES ('DFSSA000099', 'TODO', 'CORRECTA')"})
      left.executeNative(statement);
  }
  const auto stamp = [](const fs::path& file) {
    return std::pair{fs::last_write_time(file), fs::file_size(file)};
  };
  const auto sourceMade = stamp(ofSource);
  // The Access file itself keeps its attributes: changing them changes its change time, which
  // rightly makes the companion count as another file's.
  test::NoWriting readOnly({mdb.parent_path(), ofSource, catalogue.parent_path()});
  if (!readOnly.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
  EXPECT_EQ(run({mdb, "--unidades"}, catalogue), 0) << out;
  EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
  EXPECT_FALSE(fs::exists(dir / "R")) << "the listing wrote in the results folder";
  std::optional<decltype(stamp(ofCatalogue))> catalogueMade;
  for (int pass = 0; pass < 2; ++pass) {
    EXPECT_EQ(run({mdb}, catalogue), 0) << out;
    ASSERT_TRUE(fs::exists(ofCatalogue));
    if (!catalogueMade) catalogueMade = stamp(ofCatalogue);
    // The second run is compared with the first, kept in the results folder's history.
    const std::string changes = pass == 0 ? "primera validación\n" : "sin cambios desde ";
    expectSaid("DFSSA000001  CORRECTA  0 hallazgos  1 egreso  " + changes);
    expectSaid("DFSSA000002  A REVISAR  1 hallazgo  2 egresos  " + changes);
    EXPECT_EQ(out.find("instrucciones"), std::string::npos) << out;
    // Neither companion written, imported again or made again elsewhere.
    EXPECT_TRUE(stamp(ofSource) == sourceMade && stamp(ofCatalogue) == *catalogueMade);
    EXPECT_FALSE(fs::exists(access::companionInResults(mdb, dir / "R")));
  }
}

// Listing the units of an Access file in a folder the user may not write: the list comes from
// memory, and no copy of the file is left anywhere, least of all in the results folder, which the
// listing neither takes nor makes; where the folder can be written, the companion goes beside the
// file, where the runs find it.
TEST_F(KoltValidarFiles, ListingTheUnitsLeavesACopyOfTheSourceNowhereButBesideIt) {
  const fs::path mdb = exported(origen, dir / "compartida/origen.mdb");
  {
    test::NoWriting readOnly({mdb.parent_path()});
    if (!readOnly.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(run({mdb, "--unidades"}), 0) << out;
      EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
      std::vector<std::string> names;
      for (const auto& entry : fs::directory_iterator(mdb.parent_path()))
        names.push_back(entry.path().filename().string());
      EXPECT_EQ(names, std::vector<std::string>{"origen.mdb"});
      EXPECT_FALSE(fs::exists(results)) << "the listing wrote in the results folder";
    }
  }
  EXPECT_EQ(run({mdb, "--unidades"}), 0) << out;
  EXPECT_EQ(out, "DFSSA000001  HOSPITAL GENERAL\nDFSSA000002  CLINICA NORTE\n");
  EXPECT_TRUE(fs::exists(access::companionBeside(mdb)));
  EXPECT_FALSE(fs::exists(results));
}

// Ctrl-C while an Access source is imported: the importer, in a process group of its own, does not
// hear it, and here never ends by itself, reporting rows without end. The run says at once that it
// stops, ends the import, and leaves no companion, whole or half made.
TEST_F(KoltValidarFiles, CtrlCDuringAnImportSaysItStopsAndEndsTheImport) {
  const fs::path mdb = exported(origen, dir / "origen.mdb");
  const fs::path program = dir / "programa";
  fs::create_directories(program);
  fs::copy_file(test::binaryDir() / "bin/kolt-validar", program / "kolt-validar");
  std::ofstream(program / "kolt-importar")
      << "#!/bin/sh\nprintf 'inicio\\tJET4\\t1\\t1000\\n' >&3\n"
         "printf 'tabla\\t1\\t1000\\tEGRESO\\n' >&3\n: > \"$(dirname \"$0\")/empezada\"\n"
         "i=0; while printf 'filas\\t1\\t%d\\n' \"$i\" >&3; do i=$((i+1)); sleep 0.2; done\n";
  fs::permissions(program / "kolt-importar", fs::perms::owner_all);
  std::string status;
  test::runCommand("cd '" + dir.path().string() +
                       "'\nprograma/kolt-validar origen.mdb --catalogo catalogo.db --resultados R "
                       ">out 2>err &\npid=$!; for i in $(seq 600); do test -e programa/empezada "
                       "&& break; sleep 0.05; done\nkill -INT $pid; wait $pid; echo $?\n",
                   status);
  const std::string err = test::fileText(dir / "err");
  EXPECT_EQ(status, "130\n") << err;
  EXPECT_TRUE(fs::exists(program / "empezada"));
  EXPECT_NE(err.find("Deteniendo la validación: no se validará ninguna unidad.\n"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("Validación interrumpida antes de empezar"), std::string::npos) << err;
  std::vector<std::string> beside;
  for (const auto& entry : fs::directory_iterator(dir.path()))
    if (entry.path().filename().string().starts_with("origen.mdb."))
      beside.push_back(entry.path().filename().string());
  EXPECT_TRUE(beside.empty()) << ::testing::PrintToString(beside);
}

#endif

}  // namespace
}  // namespace kolt::cli
