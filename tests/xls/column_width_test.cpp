// Column widths read back from the workbook (tests/xls/read_widths.py, with xlrd) and compared
// with the room each column's widest text needs, measured with the font LibreOffice draws: a
// column never cuts its text off, whatever its letters, and a column of capitals is wider than one
// of as many digits.
#include <gtest/gtest.h>

#include <sstream>

#include "support/linux_tools.h"
#include "support/paths.h"
#include "xls/workbook.h"

namespace kolt::xls {
namespace {

struct ColumnRead {
  int width = 0;   // 1/256 of a '0'
  int needed = 0;  // the widest text's advance, the same unit; -1 when it could not be measured
  std::string text;
};

std::vector<ColumnRead> widthsOf(const std::filesystem::path& book) {
  const auto script = test::sourceDir() / "tests" / "xls" / "read_widths.py";
  std::string output;
  EXPECT_EQ(test::runCommand("/usr/bin/python3 '" + script.string() + "' '" + book.string() + "'",
                             output),
            0);
  std::vector<ColumnRead> columns;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    std::string sheet, column, width, needed;
    ColumnRead read;
    std::getline(fields, sheet, '\t');
    std::getline(fields, column, '\t');
    std::getline(fields, width, '\t');
    std::getline(fields, needed, '\t');
    std::getline(fields, read.text);
    read.width = std::stoi(width);
    read.needed = std::stoi(needed);
    columns.push_back(read);
  }
  return columns;
}

// The part of a column's width that its text may use: Excel keeps 5 dots of a screen for the
// margins beside a cell's text, where a '0' of Arial 10 is 7 dots.
int usable(int width) {
  return width - 5 * 256 / 7;
}

TEST(ColumnWidths, FitTheirWidestTextWhateverItsLetters) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  struct Column {
    const char* header;
    std::vector<const char*> values;
  };
  // As many characters in each of the first three headers; then a header far shorter than the
  // verdicts below it, accents and ñ, a long narrow text and a column of numbers.
  const std::vector<Column> columns = {
      {"VALIDACION INCOMPLETA", {}},
      {"000000000000000000000", {}},
      {"iiiiiiiiiiiiiiiiiiiii", {}},
      {"Resultado", {"CORRECTA", "A REVISAR", "VALIDACION INCOMPLETA", "SIN EGRESOS"}},
      {"Descripción", {"AÑO DE EGRESO MAYOR QUE EL AÑO DE INGRESO", "Niño"}},
      {"WWWWMMMM", {"wwwwmmmm"}},
      {"Texto largo", {"il.,;:|' il.,;:|' il.,;:|' il.,;:|' il.,;:|'"}},
  };
  test::TempDir dir;
  Workbook book(dir / "anchos.xls");
  std::vector<SheetColumn> names;
  std::vector<Row> rows(4, Row(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    names.push_back({columns[c].header});
    for (std::size_t r = 0; r < columns[c].values.size(); ++r)
      rows[r][c] = std::string(columns[c].values[r]);
  }
  book.addSheet("Anchos", names, rows);
  book.save();

  const auto read = widthsOf(dir / "anchos.xls");
  ASSERT_EQ(read.size(), columns.size());
  EXPECT_GT(read[0].width, read[1].width * 115 / 100) << "capitals no wider than digits";
  EXPECT_LT(read[2].width, read[1].width * 60 / 100) << "narrow letters as wide as digits";
  for (std::size_t c = 0; c < read.size(); ++c) {
    SCOPED_TRACE(read[c].text);
    if (read[c].needed < 0) GTEST_SKIP() << "Pillow or Liberation Sans missing: nothing to measure";
    EXPECT_GE(usable(read[c].width), read[c].needed) << "cut off";
    // Room to spare, but not much more: a screen rounds each letter to whole dots, and capitals
    // round up (9 dots to a digit's 7, where the font says 8.9 to 7.4).
    EXPECT_LE(usable(read[c].width), read[c].needed * 115 / 100 + 3 * 256)
        << "far wider than its text";
  }
}

}  // namespace
}  // namespace kolt::xls
