// The synthetic discharge databases: clean where they should be, with an error for every rule,
// validated alike however many units run side by side, and written as an .mdb validated to the same
// workbooks and summary as the same data in an engine database; and every tool answers --help.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "rules/rule_plan.h"
#include "run/driver.h"
#include "run/session.h"
#include "run/source_tables.h"
#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/run_request.h"
#include "support/workbook_reader.h"
#include "xls/workbook.h"

namespace kolt {
namespace {

namespace fs = std::filesystem;

// Generates a database in `dir` and opens it in `session`, results in "R"; returns all its units.
std::vector<run::Unit> openGenerated(const test::TempDir& dir, std::vector<std::string> options,
                                     run::Session& session) {
  std::string out;
  options.insert(options.begin(), dir / "origen.db");
  EXPECT_EQ(test::runProgram("kolt-generar", options, out), 0) << out;
  session.resultsFolder = dir / "R";
  run::openDatabases(session, dir / "origen.db");
  engine::StatementLog log;
  return run::CargaUnidades(session.cnnOrigen, log);
}

// Every file of a results folder, by name; the log without the time that opens each line, and of
// Hallazgos.xls the sheets before Ejecucion, which says when each run ran.
std::map<std::string, std::string> resultFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    std::string& text = files[name] = test::fileText(entry.path());
    if (name == "Validacion.log") {
      std::istringstream log(text);
      text.clear();
      for (std::string line; std::getline(log, line);) text += line.substr(line.find('\t')) + "\n";
    }
    if (name == "Hallazgos.xls") {
      const test::ReadBack book = test::readBack(entry.path());
      text = ::testing::PrintToString(test::sheet(book, "PorUnidad")) +
             ::testing::PrintToString(test::sheet(book, "PorRegla"));
    }
  }
  return files;
}

// Validated against the demo catalogue, one unit at a time and three side by side: every rule finds
// something (its sheet in some unit's workbook), the clean unit nothing, and the results and the
// trace are the same both times.
TEST(Generator, EveryRuleFindsADeliberateErrorAlikeHoweverManyUnitsRunSideBySide) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  run::Session session(test::binaryDir() / "bin");
  std::vector<run::Unit> units =
      openGenerated(dir, {"--egresos", "20000", "--unidades", "4"}, session);
  // A list order other than the source's: the results must follow the list.
  std::reverse(units.begin(), units.end());
  std::vector<std::map<std::string, std::string>> files;
  std::vector<std::string> reports, verdicts;  // each unit's verdict, then the trace
  for (unsigned threads : {1u, 3u}) {
    std::ostringstream trace;
    const run::RunOutcome outcome = run::runValidation(
        test::requestFor(session, units, nullptr, nullptr, threads), nullptr, &trace);
    ASSERT_FALSE(outcome.errorReport);
    EXPECT_EQ(outcome.failedStatements, 0);
    std::string summary;
    for (const auto& unit : outcome.units) {
      summary += unit.unit + " " + unit.verdict + " " + std::to_string(unit.findings()) + "\n";
      verdicts.push_back(unit.verdict);
    }
    reports.push_back(summary + trace.str());
    files.push_back(resultFiles(session.resultsFolder));
    fs::rename(session.resultsFolder, dir / ("R" + std::to_string(threads)));
  }
  EXPECT_EQ(reports[0], reports[1]);
  ASSERT_GE(files[0].size(), 6u);  // workbooks of three units, the summaries and the log
  for (const auto& [name, bytes] : files[0]) EXPECT_TRUE(files[1][name] == bytes) << name;
  EXPECT_EQ(files[0].size(), files[1].size());

  std::set<int> found, everyRule;
  for (const auto& [name, bytes] : files[0])
    if (name.starts_with("Val") && name.ends_with(".xls"))
      for (const auto& sheet : xls::sheetNames(dir / "R1" / name))
        if (sheet.starts_with("Validacion")) found.insert(std::stoi(sheet.substr(10)));
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue()))
    everyRule.insert(rule.number);
  EXPECT_EQ(found, everyRule);
  // The first unit of the source, last in the list, is the clean one.
  EXPECT_EQ(verdicts,
            (std::vector<std::string>{"A REVISAR", "A REVISAR", "A REVISAR", "CORRECTA",
                                      "A REVISAR", "A REVISAR", "A REVISAR", "CORRECTA"}));
}

TEST(Generator, CleanDataBreaksNoRuleAndAnOutputNameOfNoKnownKindIsRefused) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  run::Session session(test::binaryDir() / "bin");
  const auto units =
      openGenerated(dir, {"--egresos", "5000", "--unidades", "2", "--errores", "0"}, session);
  std::vector<std::string> verdicts;
  for (const auto& unit : run::runValidation(test::requestFor(session, units)).units)
    verdicts.push_back(unit.verdict);
  EXPECT_EQ(verdicts, (std::vector<std::string>{"CORRECTA", "CORRECTA"}));

  test::TempDir empty;
  std::string out;
  EXPECT_EQ(test::runProgram("kolt-generar", {(empty / "origen.xls").string()}, out), 2);
  EXPECT_NE(out.find("no termina en .db ni en .mdb"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(empty.path()));
}

TEST(AccessSource, ValidatesToTheSameWorkbooksAsTheSameDataInAnEngineDatabase) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  std::string out, summary[2];
  for (int i = 0; i < 2; ++i) {
    const std::string source = (dir / (i == 0 ? "origen.db" : "origen.mdb")).string();
    ASSERT_EQ(
        test::runProgram("kolt-generar",
                         {source, "--egresos", "4000", "--unidades", "3", "--semilla", "9"}, out),
        0)
        << out;
    // One unit at a time: the progress lines, "[2/3] ...", come in the order the units finish.
    ASSERT_EQ(test::runProgram("kolt-validar",
                               {source, "--hilos", "1", "--resultados",
                                (dir / (i == 0 ? "R-db" : "R-mdb")).string()},
                               summary[i]),
              0)
        << summary[i];
  }
  EXPECT_TRUE(fs::exists(dir / "origen.mdb.kolt.db"));
  EXPECT_EQ(std::regex_replace(summary[0], std::regex("R-db"), "R-mdb"), summary[1]);
  // The log names each run's own source.
  auto db = resultFiles(dir / "R-db"), mdb = resultFiles(dir / "R-mdb");
  ASSERT_GE(db.size(), 4u);  // the summaries, the log and at least one unit's findings
  for (const auto& [name, bytes] : db)
    EXPECT_TRUE(name == "Validacion.log" || mdb[name] == bytes) << name;
  EXPECT_EQ(db.size(), mdb.size());
}

// Before reading any other argument: a tool that takes a file name must never take "--help" for
// one.
TEST(Tools, EveryToolAnswersHelpWithItsUsageAndStatusZero) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  const std::string bin = (test::binaryDir() / "bin").string() + "/";
  for (const std::string& tool :
       {bin + "kolt-generar", bin + "kolt-exportar-mdb", bin + "kolt-catalogo",
        bin + "kolt-bench-dialect", bin + "kolt-importar", bin + "kolt-validar",
        (test::sourceDir() / "tools" / "bench").string()}) {
    std::string out;
    EXPECT_EQ(test::runCommand("cd '" + dir.path().string() + "' && '" + tool + "' --help", out),
              0);
    // The script's help names it as it is called.
    EXPECT_TRUE(out.find("Uso") != std::string::npos ||
                out.find("tools/bench") != std::string::npos)
        << tool << ": " << out;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));  // no file named "--help" anywhere
}

}  // namespace
}  // namespace kolt
