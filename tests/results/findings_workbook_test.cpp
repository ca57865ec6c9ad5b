// Hallazgos.xls read back with xlrd: every rule has its column for every unit, however many rules
// the office adds.
#include "results/findings_workbook.h"

#include <gtest/gtest.h>

#include <tuple>

#include "support/linux_tools.h"
#include "support/paths.h"
#include "support/workbook_reader.h"

namespace kolt::results {
namespace {

using Cells = std::vector<std::string>;

// 8 + 248 rules fill PorUnidad; the office's 500 rules, 114 to 613, need two sheets more.
TEST(FindingsWorkbook, RulesBeyondASheetsColumnsGoOnInSheetsOfTheirOwn) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  test::TempDir dir;
  rules::OfficeRules office;
  for (int number = 114; number <= 613; ++number)
    office.rules.push_back({number, "regla " + std::to_string(number), {}, 0});
  std::vector<UnitResult> units(2);
  units[0].unit = "DFSSA000001";
  units[1].unit = "DFSSA000002";
  for (int number = 1; number <= 613; ++number) {
    units[0].rules.push_back({number, "", false, number, false});
    // A rule that failed in a unit has no count there, wherever its column falls.
    units[1].rules.push_back({number, "", number == 600, number == 600 ? -1 : 0, false});
  }
  const test::ReadBack book = test::readBack([&] {
    ResultsFolder folder(dir / "R");
    const auto book = writeFindingsWorkbook(folder, units, {}, office);
    folder.place(book);
    return book;
  }());

  EXPECT_EQ(book.names, (Cells{"PorUnidad", "PorRegla", "Ejecucion", "PorUnidad V249-V503",
                               "PorUnidad V504-V613", "Seguimiento"}));
  // The columns of today's layout stay where they are.
  const test::SheetCells byUnit = test::sheet(book, "PorUnidad");
  ASSERT_EQ(byUnit.size(), 3u);
  EXPECT_EQ(byUnit[0].size(), 256u);
  EXPECT_EQ(byUnit[0][8], "text:V1");
  EXPECT_EQ(byUnit[0][255], "text:V248");
  EXPECT_EQ(byUnit[1][5], "number:" + std::to_string(613 * 614 / 2));  // Hallazgos: all rules
  EXPECT_EQ(byUnit[1][255], "number:248");
  // Each unit on the same row of every sheet, each rule's count under its own number.
  for (const auto& [name, firstRule, lastRule] :
       {std::tuple{"PorUnidad V249-V503", 249, 503}, {"PorUnidad V504-V613", 504, 613}}) {
    SCOPED_TRACE(name);
    const test::SheetCells sheet = test::sheet(book, name);
    ASSERT_EQ(sheet.size(), 3u);
    ASSERT_EQ(sheet[0].size(), static_cast<std::size_t>(lastRule - firstRule + 2));
    EXPECT_EQ(sheet[0][0], "text:Unidad");
    EXPECT_EQ(sheet[1][0], "text:DFSSA000001");
    EXPECT_EQ(sheet[2][0], "text:DFSSA000002");
    for (int number = firstRule; number <= lastRule; ++number) {
      const std::size_t column = static_cast<std::size_t>(number - firstRule + 1);
      EXPECT_EQ(sheet[0][column], "text:V" + std::to_string(number));
      EXPECT_EQ(sheet[1][column], "number:" + std::to_string(number));
      if (column < sheet[2].size()) {
        EXPECT_EQ(sheet[2][column], number == 600 ? "" : "number:0") << number;
      }
    }
  }
  const test::SheetCells byRule = test::sheet(book, "PorRegla");
  ASSERT_EQ(byRule.size(), 614u);
  EXPECT_EQ(byRule.back(),
            (Cells{"number:613", "text:regla 613", "number:1", "number:613", "number:0"}));
}

}  // namespace
}  // namespace kolt::results
