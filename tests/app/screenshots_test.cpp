// The pictures of the guide and the README: both windows, and the workbooks as LibreOffice shows
// them. On a real X server (windows_screenshots_xvfb) into docs/, where rendering is deterministic;
// elsewhere into the build folder (artefacts/docs/), for review. The workbooks are those of a run
// as a user makes it through both windows (the start window opens the Access file, the validation
// window runs it), which writes the very rule sheets kolt-validar writes from the same file; then
// of a second run from the same window once the file was corrected, whose unit workbook follows
// each finding from the first. The programs are the build's own: on Windows, under Wine, the
// Windows ones. The pictures of a unit's Resumen and Seguimiento show the runs' dates and files
// as they are: they change with the day they are made.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>
#include <optional>
#include <tuple>

#include "app/frm_revision.h"
#include "base/platform/paths.h"
#include "engine/connection.h"
#include "forms/date_box.h"
#include "forms/qt_text.h"
#include "forms/window_fixture.h"
#include "support/linux_tools.h"
#include "support/workbook_reader.h"

namespace kolt::app {
namespace {

namespace fs = std::filesystem;

// Saves `image` as the picture `name`, which must be more than one flat colour.
void save(const QImage& image, const std::string& name) {
  const fs::path folder = QGuiApplication::platformName() == "xcb"
                              ? test::sourceDir() / "docs"
                              : test::binaryDir() / "artefacts" / "docs";
  fs::create_directories(folder);
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 1) << name << ": nothing drawn";
  EXPECT_TRUE(image.save(forms::q(folder / name), "PNG")) << name;
}

// What LibreOffice draws of `book`, through PDF (which every LibreOffice exports): the first page
// as it prints, or with `sheet` the whole sheet of that position on one page. Cut to what is drawn
// on it with a small margin, saved as the picture `name`.
void pictureOfWorkbook(const fs::path& book, const fs::path& scratch, const std::string& name,
                       std::optional<std::size_t> sheet = std::nullopt) {
  // A profile of its own: LibreOffice refuses to start beside another instance's profile. A
  // folder for each picture: every export of a book has the same name.
  const fs::path out = scratch / fs::path(name).stem();
  const std::string page = (out / book.stem()).string();
  const std::string filter =
      sheet
          ? "'pdf:calc_pdf_Export:{\"SinglePageSheets\":{\"type\":\"boolean\",\"value\":\"true\"}}'"
          : "pdf";
  const std::string number = std::to_string(sheet ? *sheet + 1 : 1);
  const std::string command = "soffice -env:UserInstallation=file://" +
                              (scratch / "perfil").string() + " --headless --convert-to " + filter +
                              " --outdir '" + out.string() + "' '" + book.string() +
                              "' && pdftoppm -png -r 110 -f " + number + " -l " + number +
                              " -singlefile '" + page + ".pdf' '" + page + "' 2>&1";
  std::string output;
  ASSERT_EQ(test::runCommand(command, output), 0) << output;
  const QImage image(forms::q(fs::path(page + ".png")));
  QRect drawn;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 250) drawn |= QRect(x, y, 1, 1);
  ASSERT_FALSE(drawn.isEmpty()) << book << ": an empty page";
  save(image.copy(drawn.adjusted(-12, -12, 12, 12).intersected(image.rect())), name);
}

// Rule 1 (an age out of range) on discharges of `unit` in the engine source `file`: each folio
// with its age in years, 30 being a right one.
void setAges(const fs::path& file, const std::string& unit,
             std::initializer_list<std::pair<const char*, int>> ages) {
  engine::Connection source;
  source.open(file);
  for (const auto& [folio, age] : ages)
    source.executeNative("UPDATE EGRESO SET cveedad = '3', edad = " + std::to_string(age) +
                         " WHERE clues = '" + unit + "' AND folio = '" + folio + "'");
}

// Writes the engine source `file` as the Access file `mdb`, replacing it whole.
void exportAccess(const fs::path& file, const fs::path& mdb) {
  std::string output;
  ASSERT_EQ(
      test::runProgram("kolt-exportar-mdb", {platform::utf8(file), platform::utf8(mdb)}, output), 0)
      << output;
}

TEST(Screenshots, BothWindowsAndTheWorkbooks) {
  test::ProgramFolder folder;
  // The demonstration catalogue, with every rule's description, and a generated source with
  // findings of every kind in all its units but the first, written as an Access file; kolt-validar
  // gets a copy of it. The second unit's first three discharges get ages that rule 1 follows from
  // one run to the next: out of range in the first two, right in the third.
  fs::copy_file(test::binaryDir() / "bin" / "ValidacionesKOLT.db",
                folder.app / "ValidacionesKOLT.db");
  const fs::path engineSource = folder.dir / "origen.db", source = folder.app / "origen.mdb",
                 batchSource = folder.dir / "origen.mdb";
  const std::string unit = "DFSSA000034";
  std::string output;
  const int generated = test::runProgram("kolt-generar",
                                         {platform::utf8(engineSource), "--egresos", "1200",
                                          "--unidades", "4", "--errores", "0.05", "--semilla", "1"},
                                         output);
  ASSERT_EQ(generated, 0) << output;
  setAges(engineSource, unit, {{"00000002", 131}, {"00000006", 131}, {"00000010", 30}});
  ASSERT_NO_FATAL_FAILURE(exportAccess(engineSource, source));
  fs::copy_file(source, batchSource);

  run::Session session(folder.app);
  test::FakeDialogs dialogs;
  FrmRevision start(session, dialogs);
  ASSERT_TRUE(test::show(start, false));
  save(start.grab().toImage(), "start-window.png");

  dialogs.files.push_back(forms::q(source));
  start.findChild<QPushButton*>("cmdAceptar")->click();
  ASSERT_NE(start.frmEnvio(), nullptr) << (dialogs.events.empty() ? "" : dialogs.events.back());
  forms::FrmEnvio& window = *start.frmEnvio();
  ASSERT_TRUE(test::show(window, false));
  auto* list = window.findChild<QListWidget*>("lstUnidades");
  ASSERT_GE(list->count(), 3);
  list->item(2)->setCheckState(Qt::Unchecked);
  for (auto [name, text] : {std::pair{"mskFechaIni", "01012023"}, {"mskFechaFin", "31122023"}}) {
    auto* box = window.findChild<forms::DateBox*>(name);
    box->setFocus();
    QTest::keyClicks(box, text);
  }
  list->setFocus();
  list->setCurrentRow(2);
  // The window as the demonstration catalogue leaves it, and its note on its own.
  const QImage shown = window.grab().toImage();
  save(shown, "validation-window.png");
  const auto* note = window.findChild<QLabel*>("lblCatalogo");
  ASSERT_TRUE(note->isVisible());
  save(shown.copy(QRect(note->mapTo(&window, QPoint(0, 0)), note->size()).adjusted(-6, -6, 6, 6)),
       "demonstration-catalogue-note.png");

  // Every unit, without a period, as kolt-validar runs it by default.
  list->item(2)->setCheckState(Qt::Checked);
  for (auto* box : window.findChildren<forms::DateBox*>()) box->clear();
  auto validar = [&] {
    dialogs.events.clear();
    window.findChild<QToolButton*>("cmdAceptar")->click();
    EXPECT_EQ(dialogs.events.size(), 1u);
    return dialogs.events.empty() ? std::string() : dialogs.events.front();
  };
  const std::string ended = validar();
  EXPECT_TRUE(
      ended.starts_with("plain|El proceso de Validación de la Calidad ha Terminado, los "
                        "resultados puede revisarlos dentro de la carpeta de " +
                        platform::utf8(session.resultsFolder)))
      << ended;
  EXPECT_NE(ended.find("Se usó el CATÁLOGO DE DEMOSTRACIÓN"), std::string::npos) << ended;
  const fs::path batch = folder.dir / "RESULTADOS";
  const int validated = test::runProgram(
      "kolt-validar", {platform::utf8(batchSource), "--resultados", platform::utf8(batch)}, output);
  ASSERT_EQ(validated, 0) << output;
  const auto names = test::workbooks(batch);
  ASSERT_GT(names.size(), 2u);
  EXPECT_EQ(test::workbooks(session.resultsFolder), names);
  const bool readable = !test::missingLinuxTool(test::LinuxTool::Xlrd);
  for (const auto& name : names) {
    // Its sheet Ejecucion names each run's own source and time, as a unit's Resumen does; every
    // other workbook, and a unit's sheets before Resumen, must be the same.
    if (name == "Hallazgos.xls") continue;
    if (!name.starts_with("Val")) {
      EXPECT_EQ(test::fileText(session.resultsFolder / name), test::fileText(batch / name)) << name;
      continue;
    }
    if (!readable) continue;
    auto rulesSheets = [](const fs::path& book) {
      const test::ReadBack read = test::readBack(book);
      std::vector<std::pair<std::string, test::SheetCells>> sheets;
      for (std::size_t i = 0; i < read.names.size() && read.names[i] != "Resumen"; ++i)
        sheets.emplace_back(read.names[i], read.sheets[i]);
      return sheets;
    };
    EXPECT_EQ(rulesSheets(session.resultsFolder / name), rulesSheets(batch / name)) << name;
  }

  if (test::runCommand("command -v soffice && command -v pdftoppm", output) != 0 || !readable)
    GTEST_SKIP() << "LibreOffice (soffice), pdftoppm or xlrd missing: no pictures of the workbooks";
  test::TempDir scratch;
  // The first unit with findings (its first Validacion sheet), the summary, the findings by unit.
  for (const auto& [book, picture] : {std::pair{*std::next(names.begin(), 2), "unit-workbook.png"},
                                      {"ResultadosVal.xls", "summary-workbook.png"},
                                      {"Hallazgos.xls", "findings-sheet.png"}})
    pictureOfWorkbook(session.resultsFolder / book, scratch.path(), picture);

  // The hospital corrects the first age, gets the second wrong again with another value, and a
  // slip makes the third wrong; the same window validates the corrected file once more. Rule 1
  // follows each discharge by its folio.
  setAges(engineSource, unit, {{"00000002", 30}, {"00000006", 140}, {"00000010", 135}});
  ASSERT_NO_FATAL_FAILURE(exportAccess(engineSource, source));
  const std::string again = validar();
  EXPECT_NE(again.find(unit + ": +"), std::string::npos) << again;
  const fs::path book = session.resultsFolder / ("Val" + unit + ".xls");
  const test::ReadBack read = test::readBack(book);
  ASSERT_GE(read.names.size(), 2u);
  EXPECT_EQ(read.names[read.activeSheet], "Resumen");
  std::vector<std::tuple<std::string, std::string, std::string>> followed;
  for (const auto& row : test::sheet(read, "Seguimiento"))
    if (row.size() > 4 && row[2] == "number:1") followed.emplace_back(row[0], row[2], row[4]);
  EXPECT_EQ(followed, (std::vector<std::tuple<std::string, std::string, std::string>>{
                          {"text:00000002", "number:1", "text:Corregido"},
                          {"text:00000006", "number:1", "text:Persiste"},
                          {"text:00000010", "number:1", "text:Nuevo"}}));
  pictureOfWorkbook(book, scratch.path(), "unit-summary-sheet.png", read.names.size() - 2);
  pictureOfWorkbook(book, scratch.path(), "unit-follow-up-sheet.png", read.names.size() - 1);
}

}  // namespace
}  // namespace kolt::app
