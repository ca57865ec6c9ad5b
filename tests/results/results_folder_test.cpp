// The results folder: one run at a time, a clean-up that takes only its own files, and unit codes
// that cannot reach outside the folder through a file name.
#include "results/results_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

#include "base/error.h"
#include "run/run_log.h"
#include "support/linux_tools.h"
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
  EXPECT_EQ(test::fileText(results / "ValDFSSA000002.xls"), "new");
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

// Links in the results folder, whoever put them there, never lead a run to delete or write a file
// elsewhere: the run's own names are replaced or refused, what they point to stays as it was.
class Links : public Folder {
 protected:
  void SetUp() override {
    KOLT_NEEDS_LINUX_TOOL(PosixFiles);
    fs::create_directories(results);
    fs::create_directories(elsewhere);
    for (const char* name : {"uno.txt", "dos.txt", "tres.txt"})
      std::ofstream(elsewhere / name) << "de otro programa";
  }
  void expectElsewhereUntouched() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(elsewhere))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dos.txt", "tres.txt", "uno.txt"}));
    for (const auto& name : names) EXPECT_EQ(test::fileText(elsewhere / name), "de otro programa");
  }
  fs::path elsewhere = dir / "OTRA";
};

TEST_F(Links, TheWorkFolderCleanUpNeverFollowsALink) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&, const fs::path&)> make;  // (work folder, elsewhere)
  };
  const std::vector<Case> cases = {
      {"work folder is a link to another folder",
       [](const fs::path& work, const fs::path& other) {
         fs::create_directory_symlink(other, work);
       }},
      {"an entry of the work folder is a link to another folder",
       [](const fs::path& work, const fs::path& other) {
         fs::create_directories(work);
         fs::create_directory_symlink(other, work / "ValX.db");
       }},
      {"an entry of the work folder is a link to a file",
       [](const fs::path& work, const fs::path& other) {
         fs::create_directories(work);
         fs::create_symlink(other / "uno.txt", work / "ValX.xls");
       }},
  };
  const fs::path work = results / "Validacion.tmp";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(work);
    c.make(work, elsewhere);
    {
      ResultsFolder folder(results);
      EXPECT_FALSE(fs::is_symlink(work));
      EXPECT_TRUE(fs::is_directory(work));
      EXPECT_TRUE(fs::is_empty(work));
    }
    expectElsewhereUntouched();
  }
}

TEST_F(Links, ALockThatIsALinkIsRefusedAndWhatItPointsToIsLeftAlone) {
  for (const char* target : {"uno.txt", "no-existe.txt"}) {
    SCOPED_TRACE(target);
    fs::remove(results / "Validacion.lock");
    fs::create_symlink(elsewhere / target, results / "Validacion.lock");
    try {
      ResultsFolder folder(results);
      ADD_FAILURE() << "the run took a lock through a link";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), base::kErrFile);
      EXPECT_NE(e.description().find("es un enlace"), std::string::npos) << e.description();
    }
    expectElsewhereUntouched();
  }
}

TEST_F(Links, TheLogReplacesALinkOrAnotherNameOfAFileInsteadOfWritingThroughIt) {
  struct Case {
    const char* name;
    std::function<void(const fs::path&, const fs::path&)> make;  // (log, a file elsewhere)
  };
  const std::vector<Case> cases = {
      {"symbolic link", [](const fs::path& log, const fs::path& f) { fs::create_symlink(f, log); }},
      {"hard link", [](const fs::path& log, const fs::path& f) { fs::create_hard_link(f, log); }},
      {"dangling link",
       [](const fs::path& log, const fs::path& f) {
         fs::create_symlink(f.parent_path() / "nuevo.txt", log);
       }},
  };
  const fs::path log = results / "Validacion.log";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(log);
    c.make(log, elsewhere / "uno.txt");
    {
      run::RunLog runLog(log);
      runLog.note("", "una nota");
      EXPECT_TRUE(runLog.intact());
    }
    expectElsewhereUntouched();
    EXPECT_FALSE(fs::is_symlink(log));
    EXPECT_NE(test::fileText(log).find("una nota"), std::string::npos);
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(results))
      left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"Validacion.log"});
  }
}

}  // namespace
}  // namespace kolt::results
