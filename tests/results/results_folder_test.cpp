// The results folder: one run at a time, a clean-up that takes only its own files, and unit codes
// that cannot reach outside the folder through a file name.
#include "results/results_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "base/error.h"
#include "run/run_log.h"
#include "support/linux_tools.h"
#include "support/paths.h"

namespace kolt::results {
namespace {

namespace fs = std::filesystem;

TEST(FileNamePart, EscapesWhatAFileNameCannotHoldAndKeepsCodesApart) {
  // The escape character is escaped too, so a code that looks escaped stays distinct.
  for (const auto& [code, name] :
       std::vector<std::pair<std::string, std::string>>{{"DFSSA000001", "DFSSA000001"},
                                                        {"DF/SSA0001", "DF%2FSSA0001"},
                                                        {"DF\\SSA", "DF%5CSSA"},
                                                        {"DF:S*?\"<>|", "DF%3AS%2A%3F%22%3C%3E%7C"},
                                                        {"..", "%2E%2E"},
                                                        {"A.B ", "A.B%20"},
                                                        {"A\tB\x7F", "A%09B%7F"},
                                                        {"CLÍNICA", "CLÍNICA"},
                                                        {"%2F", "%252F"}})
    EXPECT_EQ(fileNamePart(code), name);
}

// The error `take` throws on taking the folder, or 0 when it takes it.
base::Error refusal(const std::function<void()>& take) {
  try {
    take();
  } catch (const base::Error& e) {
    return e;
  }
  return base::Error(0, "");
}

// A second run is refused while the first holds the folder, and takes nothing of it; once the
// first ends (or is killed: platform_test.cpp) the next takes the folder, and of its work folder
// only what a run left there.
TEST(Folder, OneRunAtATimeAndACleanUpThatTakesOnlyWhatARunLeftInItsWorkFolder) {
  const test::TempDir dir;
  const fs::path results = dir / "RESULTADOS";
  {
    ResultsFolder first(results);
    std::ofstream(first.workingDatabase("DFSSA000001")) << "a killed run's database";
    std::ofstream(first.draftOf(first.unitWorkbook("DFSSA000001"))) << "half a workbook";
    const base::Error e = refusal([&] { ResultsFolder second(results); });
    EXPECT_EQ(e.number(), base::kErrInUse);
    EXPECT_NE(e.description().find("en uso por otra validación"), std::string::npos);
  }
  ASSERT_TRUE(fs::exists(results / "Validacion.tmp" / "ValDFSSA000001.db"));
  const std::vector<std::string> kept = {"ValidacionesKOLT.mdb.kolt.db", "Val-notas.db",
                                         "ValDFSSA000002.xls", "ValDFSSA000002.db-journal",
                                         "ValDFSSA000002.xls.1234abcd.tmp"};
  for (const auto& name : kept) std::ofstream(results / name) << "not the run's to take";

  // A folder in the work folder goes too, with all it holds.
  fs::create_directories(results / "Validacion.tmp" / "ValDFSSA000003.xls" / "a" / "b");
  std::ofstream(results / "Validacion.tmp" / "ValDFSSA000003.xls" / "a" / "b" / "c") << "c";

  ResultsFolder second(results);
  EXPECT_TRUE(fs::is_empty(results / "Validacion.tmp"));
  for (const auto& name : kept) EXPECT_TRUE(fs::exists(results / name)) << name;
}

// What a run publishes or discards reaches the folder only when it is placed; what was never
// placed leaves nothing when the run ends, and the folder keeps the previous run's workbooks.
TEST(Folder, WorkbooksReachTheFolderOnlyWhenPlaced) {
  const test::TempDir dir;
  const fs::path results = dir / "RESULTADOS";
  fs::create_directories(results);
  for (const char* code : {"A", "B", "C", "D"})
    std::ofstream(results / ("Val" + std::string(code) + ".xls")) << "old";
  {
    ResultsFolder folder(results);
    auto draft = [&](const char* code, const char* text) {
      std::ofstream(folder.draftOf(folder.unitWorkbook(code))) << text;
    };
    // A: discarded, then published; B: discarded only; C: published, then discarded; D: published
    // but never placed; E: new.
    for (const char* code : {"A", "B", "C"}) folder.discard(folder.unitWorkbook(code));
    draft("A", "new A");
    folder.publish(folder.unitWorkbook("A"));
    for (const char* code : {"C", "D", "E"}) {
      draft(code, "new");
      folder.publish(folder.unitWorkbook(code));
    }
    folder.discard(folder.unitWorkbook("C"));
    for (const char* code : {"A", "B", "C", "D"})
      EXPECT_EQ(test::fileText(folder.unitWorkbook(code)), "old") << code;
    EXPECT_FALSE(fs::exists(folder.unitWorkbook("E")));
    for (const char* code : {"A", "B", "C", "E", "F"}) folder.place(folder.unitWorkbook(code));
    EXPECT_EQ(test::fileText(folder.unitWorkbook("A")), "new A");
    EXPECT_FALSE(fs::exists(folder.unitWorkbook("B")));
    EXPECT_FALSE(fs::exists(folder.unitWorkbook("C")));
    EXPECT_EQ(test::fileText(folder.unitWorkbook("E")), "new");
    // Placed once: a second place does nothing.
    std::ofstream(folder.unitWorkbook("B")) << "made since";
    folder.place(folder.unitWorkbook("B"));
    EXPECT_TRUE(fs::exists(folder.unitWorkbook("B")));
  }
  EXPECT_EQ(test::fileText(results / "ValD.xls"), "old");
  EXPECT_FALSE(fs::exists(results / "Validacion.tmp"));
}

// Links in the results folder, whoever put them there, never lead a run to delete or write a file
// elsewhere: the run's own names are replaced or refused, what they point to stays as it was.
class Links : public ::testing::Test {
 protected:
  void SetUp() override {
    KOLT_NEEDS_LINUX_TOOL(PosixFiles);
    fs::create_directories(results);
    fs::create_directories(elsewhere);
    std::ofstream(elsewhere / "uno.txt") << "de otro programa";
  }
  void expectElsewhereUntouched() {
    EXPECT_EQ(test::fileText(elsewhere / "uno.txt"), "de otro programa");
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere), fs::directory_iterator()), 1);
  }
  test::TempDir dir;
  fs::path results = dir / "RESULTADOS", elsewhere = dir / "OTRA";
};

TEST_F(Links, NeitherTheWorkFolderCleanUpNorTheLockFollowsALink) {
  const fs::path work = results / "Validacion.tmp", lock = results / "Validacion.lock";
  // The work folder a link to another folder; an entry of it a link to a folder, or to a file; the
  // lock a link to a file, or to none: the lock is refused, the links in the work folder go.
  for (int link = 0; link < 5; ++link) {
    SCOPED_TRACE(link);
    fs::remove_all(work);
    fs::remove(lock);
    if (link == 0) fs::create_directory_symlink(elsewhere, work);
    if (link == 1 || link == 2) fs::create_directories(work);
    if (link == 1) fs::create_directory_symlink(elsewhere, work / "ValX.db");
    if (link == 2) fs::create_symlink(elsewhere / "uno.txt", work / "ValX.xls");
    if (link > 2) fs::create_symlink(elsewhere / (link == 3 ? "uno.txt" : "no-existe.txt"), lock);
    const base::Error e = refusal([&] {
      ResultsFolder folder(results);
      EXPECT_TRUE(fs::is_directory(work) && fs::is_empty(work));
    });
    EXPECT_EQ(e.number(), link > 2 ? long{base::kErrFile} : 0L);
    EXPECT_EQ(e.description().find("es un enlace") != std::string::npos, link > 2)
        << e.description();
    expectElsewhereUntouched();
  }
}

// A folder in the work folder is emptied through none of its links, at any depth; a notice that
// is a link, or another name of a file, is not read, and writing the notice replaces the link.
TEST_F(Links, TheWorkFolderIsEmptiedAndTheNoticeReadWithoutFollowingALink) {
  const fs::path deep = results / "Validacion.tmp" / "ValX.xls" / "a";
  fs::create_directories(deep);
  fs::create_directory_symlink(elsewhere, deep / "carpeta");
  fs::create_symlink(elsewhere / "uno.txt", deep / "archivo");
  fs::create_directory_symlink(elsewhere, results / "Validacion.tmp" / "ValY.xls");
  fs::create_symlink(elsewhere / "uno.txt", results / kUnfinishedNotice);
  {
    ResultsFolder folder(results);
    EXPECT_TRUE(fs::is_empty(results / "Validacion.tmp"));
    EXPECT_EQ(folder.unfinishedRun(), "");
    folder.markUnfinished("aviso");
  }
  expectElsewhereUntouched();
  EXPECT_EQ(test::fileText(results / kUnfinishedNotice), "aviso");
  fs::remove(results / kUnfinishedNotice);
  fs::create_hard_link(elsewhere / "uno.txt", results / kUnfinishedNotice);
  EXPECT_EQ(ResultsFolder(results).unfinishedRun(), "");
}

TEST_F(Links, TheLogReplacesALinkOrAnotherNameOfAFileInsteadOfWritingThroughIt) {
  const fs::path log = results / "Validacion.log";
  // A symbolic link, a hard link, a dangling link.
  for (int link = 0; link < 3; ++link) {
    SCOPED_TRACE(link);
    fs::remove(log);
    if (link == 0) fs::create_symlink(elsewhere / "uno.txt", log);
    if (link == 1) fs::create_hard_link(elsewhere / "uno.txt", log);
    if (link == 2) fs::create_symlink(elsewhere / "nuevo.txt", log);
    {
      run::RunLog runLog(log);
      runLog.note("", "una nota");
      EXPECT_TRUE(runLog.intact());
    }
    expectElsewhereUntouched();
    EXPECT_NE(test::fileText(log).find("una nota"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(results), fs::directory_iterator()), 1);
  }
}

}  // namespace
}  // namespace kolt::results
