// The synthetic discharge databases: clean where they should be, with an error for every rule,
// validated alike however many units run side by side, and written as an .mdb validated to the
// same workbooks as the same data in an engine database; and every tool answers --help.
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

// Generates the database `name` in `dir` unless it is there, and opens it in `session`, results
// in "R"; returns all its units.
std::vector<run::Unit> openGenerated(const test::TempDir& dir, const char* name,
                                     std::vector<std::string> options, run::Session& session) {
  std::string out;
  options.insert(options.begin(), (dir / name).string());
  EXPECT_TRUE(fs::exists(dir / name) || test::runProgram("kolt-generar", options, out) == 0) << out;
  session.resultsFolder = dir / "R";
  run::openDatabases(session, dir / name);
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
    if (name == "Validacion.log")
      text = std::regex_replace(text, std::regex("^[^\t]*", std::regex::multiline), "");
    if (name == "Hallazgos.xls") {
      const test::ReadBack book = test::readBack(entry.path());
      text = ::testing::PrintToString(test::sheet(book, "PorUnidad")) +
             ::testing::PrintToString(test::sheet(book, "PorRegla"));
    }
    // A unit's Resumen names the run's source and time, and the history holds every run: the
    // rules' sheets are what must agree.
    if (name.starts_with("Val") && name.ends_with(".xls")) {
      const test::ReadBack book = test::readBack(entry.path());
      text.clear();
      for (std::size_t i = 0; i < book.names.size() && book.names[i] != "Resumen"; ++i)
        text += book.names[i] + ::testing::PrintToString(book.sheets[i]);
    }
    if (name == "Historial.db") text.clear();
  }
  return files;
}

// Validated against the demo catalogue one unit at a time, three side by side, and written as an
// .mdb and imported: every rule finds something (its sheet in some unit's workbook), the clean unit
// nothing, and the results are the same each time (the trace too, from the same file; of the
// .mdb's, the log names its own source). A source generated without errors is clean.
TEST(Generator, EveryRuleFindsADeliberateErrorAlikeHoweverManyUnitsRunAndFromAnMdb) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  std::vector<std::map<std::string, std::string>> files;
  std::vector<std::string> summaries, traces;
  for (const auto& [name, threads] :
       {std::pair{"origen.db", 1u}, {"origen.db", 3u}, {"origen.mdb", 1u}}) {
    run::Session session(test::binaryDir() / "bin");
    auto units = openGenerated(dir, name, {"--egresos", "20000", "--unidades", "4"}, session);
    // A list order other than the source's: the results must follow the list.
    std::reverse(units.begin(), units.end());
    std::ostringstream trace;
    const run::RunOutcome outcome = run::runValidation(
        test::requestFor(session, units, nullptr, nullptr, threads), nullptr, &trace);
    ASSERT_FALSE(outcome.errorReport);
    EXPECT_EQ(outcome.failedStatements, 0);
    std::string summary;
    for (const auto& unit : outcome.units)
      summary += unit.unit + " " + unit.verdict + " " + std::to_string(unit.findings()) + "\n";
    summaries.push_back(summary);
    traces.push_back(trace.str());
    files.push_back(resultFiles(session.resultsFolder));
    fs::rename(session.resultsFolder, dir / ("R" + std::to_string(files.size())));
  }
  EXPECT_EQ(traces[0], traces[1]);
  ASSERT_GE(files[0].size(), 6u);  // workbooks of three units, the summaries and the log
  for (std::size_t i = 1; i < files.size(); ++i) {
    EXPECT_EQ(summaries[i], summaries[0]) << i;
    EXPECT_EQ(files[i].size(), files[0].size()) << i;
    for (const auto& [name, bytes] : files[0])
      EXPECT_TRUE(files[i][name] == bytes || (i == 2 && name == "Validacion.log")) << name << i;
  }
  // The first unit of the source, last in the list, is the clean one.
  EXPECT_TRUE(std::regex_match(summaries[0], std::regex("(DFSSA\\d+ A REVISAR [1-9]\\d*\n){3}"
                                                        "DFSSA000017 CORRECTA 0\n")))
      << summaries[0];

  std::set<int> found, everyRule;
  for (const auto& [name, bytes] : files[0])
    if (name.starts_with("Val") && name.ends_with(".xls"))
      for (const auto& sheet : xls::sheetNames(dir / "R1" / name))
        if (sheet.starts_with("Validacion")) found.insert(std::stoi(sheet.substr(10)));
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue()))
    everyRule.insert(rule.number);
  EXPECT_EQ(found, everyRule);

  // Data generated clean breaks no rule.
  run::Session session(test::binaryDir() / "bin");
  const auto units = openGenerated(
      dir, "limpio.db", {"--egresos", "5000", "--unidades", "2", "--errores", "0"}, session);
  const run::RunOutcome outcome = run::runValidation(test::requestFor(session, units));
  ASSERT_EQ(outcome.units.size(), 2u);
  for (const auto& unit : outcome.units) EXPECT_EQ(unit.verdict, "CORRECTA") << unit.unit;
}

// Every tool answers --help; the generator refuses an output name of no known kind.
TEST(Tools, EveryToolAnswersHelpWithItsUsageAndStatusZero) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  const std::string bin = (test::binaryDir() / "bin").string() + "/";
  std::string out;
  EXPECT_EQ(test::runProgram("kolt-generar", {(dir / "origen.xls").string()}, out), 2);
  EXPECT_NE(out.find("no termina en .db ni en .mdb"), std::string::npos) << out;
  for (const std::string& tool :
       {bin + "kolt-generar", bin + "kolt-exportar-mdb", bin + "kolt-catalogo",
        bin + "kolt-bench-dialect", bin + "kolt-importar", bin + "kolt-validar",
        (test::sourceDir() / "tools" / "bench").string()}) {
    EXPECT_EQ(test::runCommand("cd '" + dir.path().string() + "' && '" + tool + "' --help", out),
              0);
    // The script's help names it as it is called.
    EXPECT_TRUE(std::regex_search(out, std::regex("Uso|tools/bench"))) << tool << ": " << out;
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));  // no file named "--help" or "origen.xls"
}

}  // namespace
}  // namespace kolt
