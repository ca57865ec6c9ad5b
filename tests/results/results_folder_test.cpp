// The results folder: one run at a time, a clean-up that takes only its own files, and unit codes
// that cannot reach outside the folder through a file name.
#include "results/results_folder.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/error.h"
#include "support/paths.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;

TEST(FileNamePart, EscapesWhatAFileNameCannotHoldAndKeepsCodesApart) {
  EXPECT_EQ(fileNamePart("DFSSA000001"), "DFSSA000001");
  EXPECT_EQ(fileNamePart("DF/SSA0001"), "DF%2FSSA0001");
  EXPECT_EQ(fileNamePart("DF\\SSA"), "DF%5CSSA");
  EXPECT_EQ(fileNamePart("DF:S*?\"<>|"), "DF%3AS%2A%3F%22%3C%3E%7C");
  EXPECT_EQ(fileNamePart(".."), "%2E%2E");
  EXPECT_EQ(fileNamePart("A.B "), "A.B%20");
  EXPECT_EQ(fileNamePart("A\tB\x7F"), "A%09B%7F");
  EXPECT_EQ(fileNamePart("CLÍNICA"), "CLÍNICA");
  // The escape character is escaped too, so a code that looks escaped stays distinct.
  EXPECT_EQ(fileNamePart("%2F"), "%252F");
  EXPECT_NE(fileNamePart("%2F"), fileNamePart("/"));
}

class Folder : public ::testing::Test {
 protected:
  test::TempDir dir;
  fs::path results = dir / "RESULTADOS";
};

TEST_F(Folder, CleanUpTakesOnlyWhatARunLeftInItsWorkFolder) {
  {
    ResultsFolder first(results);
    std::ofstream(first.workingDatabase("DFSSA000001")) << "a killed run's database";
    std::ofstream(first.draftOf(first.unitWorkbook("DFSSA000001"))) << "half a workbook";
  }
  ASSERT_TRUE(fs::exists(results / "Validacion.tmp" / "ValDFSSA000001.db"));
  const std::vector<std::string> kept = {"ValidacionesKOLT.mdb.kolt.db", "Val-notas.db",
                                         "ValDFSSA000002.xls", "ValDFSSA000002.db-journal",
                                         "ValDFSSA000002.xls.1234abcd.tmp"};
  for (const auto& name : kept) std::ofstream(results / name) << "not the run's to take";

  ResultsFolder second(results);
  EXPECT_TRUE(fs::is_empty(results / "Validacion.tmp"));
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(results / name)) << name;

  // A finished draft replaces the published workbook in one step.
  std::ofstream(second.draftOf(second.unitWorkbook("DFSSA000002"))) << "new";
  second.publish(second.unitWorkbook("DFSSA000002"));
  std::ifstream published(results / "ValDFSSA000002.xls");
  std::string text;
  published >> text;
  EXPECT_EQ(text, "new");
  EXPECT_TRUE(fs::is_empty(results / "Validacion.tmp"));
}

TEST_F(Folder, ASecondRunIsRefusedUntilTheFirstEnds) {
  auto expectRefused = [&] {
    try {
      ResultsFolder second(results);
      ADD_FAILURE() << "a second run took a folder in use";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), base::kErrInUse);
      EXPECT_NE(e.description().find("en uso por otra validación"), std::string::npos);
    }
  };
  {
    ResultsFolder first(results);
    const fs::path leftover = first.workingDatabase("DFSSA000001");
    std::ofstream(leftover) << "the first run's open database";
    expectRefused();
    EXPECT_TRUE(fs::exists(leftover)) << "the refused run deleted the first run's file";
  }
  // released at the end of the first; a killed holder leaves none (platform_test.cpp)
  EXPECT_NO_THROW(ResultsFolder again(results));
}

}  // namespace
}  // namespace kolt::results
