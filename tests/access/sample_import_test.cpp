// Every sample Access file imported through the child process, compared value by value with the
// dump another Access reader made of it (compare_import.py says how values must agree).
#include <gtest/gtest.h>

#include <regex>

#include "access/import_support.h"
#include "support/linux_tools.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

class SampleImport : public ::testing::TestWithParam<std::string> {};

TEST_P(SampleImport, MatchesIndependentDump) {
  KOLT_NEEDS_LINUX_TOOL(Python);
  const std::string name = GetParam();
  // The samples that state no licence live outside the repository (tests/data/access/README.md).
  const bool shared =
      name == "nwind.mdb" || name == "DateTestDatabase.mdb" || name == "ASampleDatabase.accdb";
  const auto file = (shared ? accessSamplesDir() : accessFixturesDir()) / name;
  if (shared && !std::filesystem::is_regular_file(file)) {
    GTEST_SKIP() << name << " is not in " << accessSamplesDir()
                 << "; set KOLT_ACCESS_SAMPLES to a folder that has it";
  }
  TempDir dir;
  const auto summary = access::importAccess(file, dir / "imported.db", importOptions());
  const auto script = sourceDir() / "tests" / "access" / "compare_import.py";
  const std::string command = "/usr/bin/python3 '" + script.string() + "' '" + file.string() +
                              ".json' '" + (dir / "imported.db").string() + "' '" + summary.format +
                              "' 2>&1";
  std::string differences;
  EXPECT_EQ(runCommand(command, differences), 0) << differences;
}

INSTANTIATE_TEST_SUITE_P(
    AccessSamples, SampleImport,
    ::testing::Values("nwind.mdb", "testIndexCodesV1997.mdb", "delColTestV1997.mdb",
                      "DateTestDatabase.mdb", "test2V2003.mdb", "testUnicodeCompV2003.mdb",
                      "fixedNumericTestV2003.mdb", "overflowTestV2000.mdb", "ASampleDatabase.accdb",
                      "oldDatesV2007.accdb", "testV2010.accdb", "testEmoticonsV2010.accdb",
                      "binIdxTestV2010.accdb", "extDateTestV2019.accdb"),
    [](const auto& info) { return std::regex_replace(info.param, std::regex("\\."), "_"); });

}  // namespace
}  // namespace kolt::test
