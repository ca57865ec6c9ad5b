// The Access path end to end: a generated source written as an .mdb validates to the same
// workbooks and summary as the same data in an engine database; and every tool answers --help.
#include <gtest/gtest.h>

#include <fstream>

#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/workbook_reader.h"

namespace kolt {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST(AccessSource, ValidatesToTheSameWorkbooksAsTheSameDataInAnEngineDatabase) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  const fs::path bin = test::binaryDir() / "bin";
  std::string out;
  for (const char* name : {"origen.db", "origen.mdb"})
    ASSERT_EQ(test::runCommand((bin / "kolt-generar").string() + " '" + (dir / name).string() +
                                   "' --egresos 4000 --unidades 3 --semilla 9 2>&1",
                               out),
              0)
        << out;
  std::string summary[2];
  for (int i = 0; i < 2; ++i) {
    const std::string source = (dir / (i == 0 ? "origen.db" : "origen.mdb")).string();
    const std::string results = (dir / (i == 0 ? "R-db" : "R-mdb")).string();
    ASSERT_EQ(test::runCommand((bin / "kolt-validar").string() + " '" + source +
                                   "' --resultados '" + results + "' 2>&1",
                               summary[i]),
              0)
        << summary[i];
  }
  EXPECT_TRUE(fs::exists(dir / "origen.mdb.kolt.db"));
  // The progress lines, "[2/3] ...", come in the order the units finish.
  for (std::string& text : summary)
    for (auto at = text.find('['); at != std::string::npos; at = text.find('[', at))
      if (at == 0 || text[at - 1] == '\n')
        text.erase(at, text.find('\n', at) + 1 - at);
      else
        ++at;
  EXPECT_EQ(replaced(summary[0], "R-db", "R-mdb"), summary[1]);
  std::vector<std::string> books;
  for (const auto& entry : fs::directory_iterator(dir / "R-db"))
    if (entry.path().extension() == ".xls") books.push_back(entry.path().filename().string());
  ASSERT_GE(books.size(), 2u);  // the summary and at least one unit's findings
  for (const auto& book : books) {
    if (book == "Hallazgos.xls") {
      // Its sheet Ejecucion names each run's own source; the counts before it must agree.
      const test::ReadBack db = test::readBack(dir / "R-db" / book);
      const test::ReadBack mdb = test::readBack(dir / "R-mdb" / book);
      for (const char* sheet : {"PorUnidad", "PorRegla"})
        EXPECT_EQ(test::sheet(db, sheet), test::sheet(mdb, sheet)) << sheet;
      continue;
    }
    EXPECT_EQ(bytesOf(dir / "R-db" / book), bytesOf(dir / "R-mdb" / book)) << book;
  }
}

TEST(Tools, EveryToolAnswersHelpWithItsUsageAndStatusZero) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  test::TempDir dir;
  for (const char* tool : {"kolt-generar", "kolt-exportar-mdb", "kolt-catalogo",
                           "kolt-bench-dialect", "kolt-importar", "kolt-validar"}) {
    std::string out;
    EXPECT_EQ(test::runCommand("cd '" + dir.path().string() + "' && '" +
                                   (test::binaryDir() / "bin" / tool).string() + "' --help",
                               out),
              0)
        << tool;
    EXPECT_NE(out.find("Uso"), std::string::npos) << tool << ": " << out;
  }
  std::string out;
  EXPECT_EQ(test::runCommand((test::sourceDir() / "tools" / "bench").string() + " --help", out), 0);
  EXPECT_NE(out.find("tools/bench"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(dir.path()));  // no file named "--help" anywhere
}

}  // namespace
}  // namespace kolt
