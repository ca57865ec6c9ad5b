// The pictures of the guide and the README: both windows, and the workbooks as LibreOffice shows
// them. On a real X server (windows_screenshots_xvfb) into docs/, where rendering is deterministic;
// elsewhere into the build folder (artefacts/docs/), for review. The workbooks are those of a run
// as a user makes it through both windows (the start window opens the Access file, the validation
// window runs it), which writes the very workbooks kolt-validar writes from the same file. The
// programs are the build's own: on Windows, under Wine, the Windows ones.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QToolButton>

#include "app/frm_revision.h"
#include "base/platform/paths.h"
#include "forms/date_box.h"
#include "forms/qt_text.h"
#include "forms/window_fixture.h"

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

// The first page of `book` as LibreOffice prints it (through PDF, which every LibreOffice
// exports), cut to what is drawn on it with a small margin, saved as the picture `name`.
void pictureOfWorkbook(const fs::path& book, const fs::path& scratch, const std::string& name) {
  // A profile of its own: LibreOffice refuses to start beside another instance's profile.
  const std::string page = (scratch / book.stem()).string();
  const std::string command =
      "soffice -env:UserInstallation=file://" + (scratch / "perfil").string() +
      " --headless --convert-to pdf --outdir '" + scratch.string() + "' '" + book.string() +
      "' && pdftoppm -png -r 110 -f 1 -l 1 -singlefile '" + page + ".pdf' '" + page + "' 2>&1";
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

TEST(Screenshots, BothWindowsAndTheWorkbooks) {
  test::ProgramFolder folder;
  // The demonstration catalogue, with every rule's description, and a generated Access source with
  // findings of every kind in all its units but the first; kolt-validar gets a copy of it.
  fs::copy_file(test::binaryDir() / "bin" / "ValidacionesKOLT.db",
                folder.app / "ValidacionesKOLT.db");
  const fs::path source = folder.app / "origen.mdb", batchSource = folder.dir / "origen.mdb";
  std::string output;
  const int generated = test::runProgram("kolt-generar",
                                         {platform::utf8(source), "--egresos", "1200", "--unidades",
                                          "4", "--errores", "0.05", "--semilla", "1"},
                                         output);
  ASSERT_EQ(generated, 0) << output;
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
  save(window.grab().toImage(), "validation-window.png");

  // Every unit, without a period, as kolt-validar runs it by default.
  list->item(2)->setCheckState(Qt::Checked);
  for (auto* box : window.findChildren<forms::DateBox*>()) box->clear();
  dialogs.events.clear();
  window.findChild<QToolButton*>("cmdAceptar")->click();
  EXPECT_EQ(dialogs.events,
            std::vector<std::string>{"plain|El proceso de Validación de la Calidad ha Terminado, "
                                     "los resultados puede revisarlos dentro de la carpeta de " +
                                     platform::utf8(session.resultsFolder)});
  const fs::path batch = folder.dir / "RESULTADOS";
  const int validated = test::runProgram(
      "kolt-validar", {platform::utf8(batchSource), "--resultados", platform::utf8(batch)}, output);
  ASSERT_EQ(validated, 0) << output;
  const auto names = test::workbooks(batch);
  ASSERT_GT(names.size(), 2u);
  EXPECT_EQ(test::workbooks(session.resultsFolder), names);
  for (const auto& name : names) {
    // Its sheet Ejecucion names each run's own source and time; every other workbook must be the
    // same to the byte.
    if (name == "Hallazgos.xls") continue;
    EXPECT_EQ(test::fileText(session.resultsFolder / name), test::fileText(batch / name)) << name;
  }

  if (test::runCommand("command -v soffice && command -v pdftoppm", output) != 0)
    GTEST_SKIP() << "LibreOffice (soffice) or pdftoppm missing: no pictures of the workbooks";
  test::TempDir scratch;
  // The first unit with findings (its first Validacion sheet), the summary, the findings by unit.
  for (const auto& [book, picture] : {std::pair{*std::next(names.begin(), 2), "unit-workbook.png"},
                                      {"ResultadosVal.xls", "summary-workbook.png"},
                                      {"Hallazgos.xls", "findings-sheet.png"}})
    pictureOfWorkbook(session.resultsFolder / book, scratch.path(), picture);
}

}  // namespace
}  // namespace kolt::app
