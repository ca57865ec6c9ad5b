// Column widths checked by tests/xls/read_widths.py (with xlrd, and the font LibreOffice draws):
// a column never cuts its text off, whatever its letters, nor is far wider than it, and a column
// of capitals is wider than one of as many digits.
#include <gtest/gtest.h>

#include "support/linux_tools.h"
#include "support/paths.h"
#include "xls/workbook.h"

namespace kolt::xls {
namespace {

TEST(ColumnWidths, FitTheirWidestTextWhateverItsLetters) {
  KOLT_NEEDS_LINUX_TOOL(Xlrd);
  // As many characters in each of the first three headers; then a header far shorter than the
  // verdicts below it, accents and ñ, wide letters, a long narrow text.
  const std::vector<std::vector<std::string>> columns = {
      {"VALIDACION INCOMPLETA"},
      {"000000000000000000000"},
      {"iiiiiiiiiiiiiiiiiiiii"},
      {"Resultado", "CORRECTA", "A REVISAR", "VALIDACION INCOMPLETA", "SIN EGRESOS"},
      {"Descripción", "AÑO DE EGRESO MAYOR QUE EL AÑO DE INGRESO", "Niño"},
      {"WWWWMMMM", "wwwwmmmm"},
      {"Texto largo", "il.,;:|' il.,;:|' il.,;:|' il.,;:|' il.,;:|'"},
  };
  test::TempDir dir;
  Workbook book(dir / "anchos.xls");
  std::vector<SheetColumn> names;
  std::vector<Row> rows(4, Row(columns.size()));
  for (std::size_t c = 0; c < columns.size(); ++c) {
    names.push_back({columns[c][0]});
    for (std::size_t r = 1; r < columns[c].size(); ++r) rows[r - 1][c] = columns[c][r];
  }
  book.addSheet("Anchos", names, rows);
  book.save();
  std::string faults;
  const int status = test::runCommand(
      "/usr/bin/python3 '" + (test::sourceDir() / "tests/xls/read_widths.py").string() + "' '" +
          (dir / "anchos.xls").string() + "'",
      faults);
  if (status == 77) GTEST_SKIP() << "Pillow or Liberation Sans missing";
  EXPECT_EQ(status, 0) << faults;
}

}  // namespace
}  // namespace kolt::xls
