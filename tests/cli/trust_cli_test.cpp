// kolt-validar says what its verdicts rest on (the cases in trust_cli.cases), and Ctrl-C ends a run
// cleanly.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "engine/connection.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::cli {
namespace {

namespace fs = std::filesystem;

struct Case {
  std::string title;
  std::vector<std::string> args, statements, says;
  int status = 0;
};

// The cases of tests/cli/trust_cli.cases (format at its top).
std::vector<Case> readCases() {
  std::ifstream in(test::sourceDir() / "tests/cli/trust_cli.cases");
  std::vector<Case> cases;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    const std::size_t space = line.find(' ');
    std::string word = line.substr(0, space);
    const std::string rest = line.substr(space + 1);
    if (word == "caso")
      cases.emplace_back().title = rest;
    else if (word == "args")
      for (std::istringstream words(rest); words >> word;) cases.back().args.push_back(word);
    else if (word == "sql")
      cases.back().statements.push_back(rest);
    else if (word == "estado")
      cases.back().status = std::stoi(rest);
    else
      cases.back().says.push_back(std::regex_replace(line, std::regex("\\\\n"), "\n"));
  }
  return cases;
}

TEST(TrustCli, SaysWhatTheVerdictsRestOn) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  const std::vector<Case> cases = readCases();
  EXPECT_GE(cases.size(), 6u);
  test::TempDir dir;
  {
    test::WorkingDb source(dir / "origen.db");
    source.egreso().egreso({{"clues", "DFSSA000002"}, {"edad", 131}});
    source.egreso({{"clues", "DFSSA000999"}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000002"}, {"DESCUNIDAD", "CLINICA NORTE"}});
  }
  test::ruleCatalogue(dir / "catalogo.db");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    test::TempDir place;
    for (const char* file : {"origen.db", "catalogo.db"}) {
      fs::copy_file(dir / file, place / file);
      engine::Connection copy;
      copy.open(place / file);
      for (const std::string& statement : c.statements) copy.executeNative(statement);
    }
    std::vector<std::string> args = {(place / "origen.db").string(), "--catalogo",
                                     (place / "catalogo.db").string(), "--resultados",
                                     (place / "R").string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    std::string output;
    EXPECT_EQ(test::runProgram("kolt-validar", args, output), c.status) << output;
    for (const std::string& said : c.says)
      EXPECT_NE(output.find(said), std::string::npos) << said << "\n" << output;
    EXPECT_FALSE(c.status == 1 && fs::exists(place / "R/ResultadosVal.xls"));  // refused
  }
}

// Ctrl-C once the first unit is done: the run ends with 130, says it stopped and leaves the folder
// free (what a stopped run leaves is the run's tests', tests/run/trust_test.cpp).
TEST(TrustCli, AnInterruptedRunEndsCleanlyWithWhatItFinished) {
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

}  // namespace
}  // namespace kolt::cli
