// The synthetic discharge databases: clean where they should be, and with an error for every rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
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

// Generates a database in `dir` and opens it in `session`, results in "R"; `units` receives all
// its units.
void openGenerated(const test::TempDir& dir, const std::string& options, run::Session& session,
                   std::vector<run::Unit>& units) {
  std::string out;
  ASSERT_EQ(test::runCommand((session.app / "kolt-generar").string() + " '" +
                                 (dir.path() / "origen.db").string() + "' " + options,
                             out),
            0)
      << out;
  session.resultsFolder = dir.path() / "R";
  run::openDatabases(session, dir.path() / "origen.db");
  engine::StatementLog log;
  units = run::CargaUnidades(session.cnnOrigen, log);
}

// Generates a database and validates all its units against the demo catalogue; returns the rule
// numbers that found something, and the verdicts.
std::set<int> validateGenerated(const test::TempDir& dir, const std::string& options,
                                std::vector<std::string>& verdicts) {
  run::Session session(test::binaryDir() / "bin");
  std::vector<run::Unit> units;
  openGenerated(dir, options, session, units);
  run::RunOutcome outcome = run::runValidation(test::requestFor(session, units));
  EXPECT_FALSE(outcome.errorReport);
  EXPECT_EQ(outcome.failedStatements, 0);
  std::set<int> found;
  for (const auto& unit : outcome.units) {
    verdicts.push_back(unit.verdict);
    const fs::path book = session.resultsFolder / ("Val" + unit.unit + ".xls");
    if (!fs::exists(book)) continue;
    for (const auto& sheet : xls::sheetNames(book))
      if (sheet.starts_with("Validacion")) found.insert(std::stoi(sheet.substr(10)));
  }
  return found;
}

TEST(Generator, EveryRuleFindsADeliberateErrorInTwentyThousandDischarges) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  std::vector<std::string> verdicts;
  const auto found = validateGenerated(dir, "--egresos 20000 --unidades 4 --limpias 1", verdicts);
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue()))
    EXPECT_TRUE(found.count(rule.number)) << "regla " << rule.number;
  EXPECT_EQ(verdicts,
            (std::vector<std::string>{"CORRECTA", "A REVISAR", "A REVISAR", "A REVISAR"}));
}

TEST(Generator, AnOutputNameOfNoKnownKindIsRefusedAndNothingWritten) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  std::string out;
  EXPECT_EQ(test::runCommand((test::binaryDir() / "bin" / "kolt-generar").string() + " '" +
                                 (dir.path() / "origen.xls").string() + "' 2>&1",
                             out),
            2);
  EXPECT_NE(out.find("no termina en .db ni en .mdb"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(Generator, CleanDataBreaksNoRule) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  std::vector<std::string> verdicts;
  EXPECT_TRUE(validateGenerated(dir, "--egresos 5000 --unidades 2 --errores 0", verdicts).empty());
  EXPECT_EQ(verdicts, (std::vector<std::string>{"CORRECTA", "CORRECTA"}));
}

// Every file of a results folder, by name; the log without the time that opens each line.
std::map<std::string, std::string> resultFiles(const fs::path& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (entry.path().filename() == "Validacion.log") {
      std::string lines;
      std::istringstream log(text);
      for (std::string line; std::getline(log, line);) lines += line.substr(line.find('\t')) + "\n";
      text = lines;
    }
    if (entry.path().filename() == "Hallazgos.xls") {
      // Its sheet Ejecucion says when each run ran; the counts before it must agree.
      const test::ReadBack book = test::readBack(entry.path());
      text.clear();
      for (const char* sheet : {"PorUnidad", "PorRegla"})
        for (const auto& row : test::sheet(book, sheet))
          for (const auto& cell : row) text += cell + (&cell == &row.back() ? "\n" : "\t");
    }
    files[entry.path().filename().string()] = text;
  }
  return files;
}

TEST(Generator, ResultsDoNotDependOnHowManyUnitsRunSideBySide) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  run::Session session(test::binaryDir() / "bin");
  std::vector<run::Unit> units;
  openGenerated(dir, "--egresos 3000 --unidades 5 --limpias 1", session, units);
  ASSERT_FALSE(units.empty());
  // A list order other than the source's: the results must follow the list.
  std::reverse(units.begin(), units.end());

  std::vector<std::map<std::string, std::string>> files;
  std::vector<std::string> reports;  // each unit's verdict, then the trace
  for (unsigned threads : {1u, 3u}) {
    std::ostringstream trace;
    const run::RunOutcome outcome = run::runValidation(
        test::requestFor(session, units, nullptr, nullptr, threads), nullptr, &trace);
    ASSERT_FALSE(outcome.errorReport);
    std::string summary;
    for (const auto& unit : outcome.units)
      summary += unit.unit + " " + unit.verdict + " " + std::to_string(unit.findings()) + "\n";
    reports.push_back(summary + trace.str());
    files.push_back(resultFiles(session.resultsFolder));
    fs::rename(session.resultsFolder, dir.path() / ("R" + std::to_string(threads)));
  }
  EXPECT_EQ(reports[0], reports[1]);
  ASSERT_GT(files[0].size(), 5u);  // workbooks of four units, the summaries and the log
  for (const auto& [name, bytes] : files[0]) EXPECT_TRUE(files[1][name] == bytes) << name;
  EXPECT_EQ(files[0].size(), files[1].size());
}

}  // namespace
}  // namespace kolt
