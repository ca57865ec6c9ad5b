// Pictures of both windows as a user sees them, and of the workbooks a run writes as LibreOffice
// shows them: the pictures of the user's guide (docs/guia-de-uso.md) and of the README. On a real
// X server (the windows_screenshots_xvfb test) they are written into docs/, where the guide links
// them; elsewhere into the build folder (artefacts/), for review. Rendering is deterministic, so a
// picture in docs/ changes only when what it shows does.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <fstream>
#include <memory>
#include <regex>
#include <set>

#include "app/frm_revision.h"
#include "forms/date_box.h"
#include "forms/fake_dialogs.h"
#include "forms/qt_text.h"
#include "forms/window_fixture.h"
#include "run/driver.h"
#include "run/source_tables.h"
#include "support/run_request.h"

namespace kolt::app {
namespace {

namespace fs = std::filesystem;

// Every picture the guide and the README show, and what it shows.
const std::set<std::string> kPictures = {
    "start-window.png",       // frmRevision, the start window
    "validation-window.png",  // frmEnvio, the validation window
    "unit-workbook.png",      // a Val{unit}.xls: its first Validacion{N} sheet
    "summary-workbook.png",   // ResultadosVal.xls
    "findings-sheet.png",     // Hallazgos.xls: PorUnidad
};

fs::path picturesFolder() {
  const fs::path folder = QGuiApplication::platformName() == "xcb"
                              ? test::sourceDir() / "docs"
                              : test::binaryDir() / "artefacts" / "docs";
  fs::create_directories(folder);
  return folder;
}

fs::path save(QWidget& window, const std::string& picture) {
  const fs::path folder = test::binaryDir() / "artefacts";
  fs::create_directories(folder);
  const fs::path file = folder / (window.objectName().toStdString() + "-" +
                                  QGuiApplication::platformName().toStdString() + ".png");
  const QPixmap grabbed = window.grab();
  EXPECT_TRUE(grabbed.save(forms::q(file), "PNG")) << file;
  EXPECT_TRUE(grabbed.save(forms::q(picturesFolder() / picture), "PNG")) << picture;
  return file;
}

// A picture that is more than one flat colour: something was drawn.
void expectDrawn(const fs::path& file, QSize size) {
  QImage image(forms::q(file));
  ASSERT_FALSE(image.isNull()) << file;
  if (size.isValid()) {
    EXPECT_EQ(image.size(), size);
  }
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 1) << file;
}

bool onPath(const std::string& program) {
  std::string ignored;
  return test::runCommand("command -v " + program + " >/dev/null", ignored) == 0;
}

// The first page of `book` as LibreOffice prints it (through PDF, which every LibreOffice
// exports), cut to what is drawn on it with a small margin, saved as `picture`.
void pictureOfWorkbook(const fs::path& book, const fs::path& scratch, const std::string& picture) {
  SCOPED_TRACE(book.string());
  ASSERT_TRUE(fs::exists(book));
  // A profile of its own: LibreOffice refuses to start beside another instance's profile.
  const std::string profile = "file://" + (scratch / "perfil").string();
  std::string output;
  ASSERT_EQ(test::runCommand("soffice -env:UserInstallation=" + profile +
                                 " --headless --convert-to pdf --outdir '" + scratch.string() +
                                 "' '" + book.string() + "' 2>&1",
                             output),
            0)
      << output;
  const fs::path pdf = scratch / (book.stem().string() + ".pdf");
  const fs::path page = scratch / book.stem();
  ASSERT_EQ(test::runCommand("pdftoppm -png -r 110 -f 1 -l 1 -singlefile '" + pdf.string() + "' '" +
                                 page.string() + "' 2>&1",
                             output),
            0)
      << output;
  QImage image(forms::q(fs::path(page.string() + ".png")));
  ASSERT_FALSE(image.isNull());
  QRect drawn;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) < 250) drawn |= QRect(x, y, 1, 1);
  ASSERT_FALSE(drawn.isEmpty()) << "an empty page";
  const QImage cut = image.copy(drawn.adjusted(-12, -12, 12, 12).intersected(image.rect()));
  const fs::path file = picturesFolder() / picture;
  ASSERT_TRUE(cut.save(forms::q(file), "PNG")) << file;
  expectDrawn(file, {});
}

TEST(Screenshots, BothWindowsAndTheWorkbooks) {
  test::ProgramFolder folder;
  // The demonstration catalogue, with every rule's description, and a generated source with
  // findings of every kind in all its units but the first.
  fs::copy_file(test::binaryDir() / "bin" / "ValidacionesKOLT.db",
                folder.app / "ValidacionesKOLT.db");
  std::string output;
  ASSERT_EQ(test::runCommand("'" + (test::binaryDir() / "bin" / "kolt-generar").string() + "' '" +
                                 folder.source.string() +
                                 "' --egresos 1200 --unidades 4 --errores 0.05 --semilla 1 2>&1",
                             output),
            0)
      << output;

  run::Session session(folder.app);
  test::FakeDialogs dialogs;
  FrmRevision start(session, dialogs);
  ASSERT_TRUE(test::showExposed(start));
  const fs::path startPicture = save(start, "start-window.png");
  expectDrawn(startPicture, start.size() * start.devicePixelRatio());

  dialogs.files.push_back(forms::q(folder.source));
  start.findChild<QPushButton*>("cmdAceptar")->click();
  ASSERT_NE(start.frmEnvio(), nullptr) << (dialogs.events.empty() ? "" : dialogs.events.back());
  forms::FrmEnvio& window = *start.frmEnvio();
  ASSERT_TRUE(test::showExposed(window));
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
  expectDrawn(save(window, "validation-window.png"), window.size() * window.devicePixelRatio());

  // The workbooks of a run over every unit, as the window writes them.
  engine::StatementLog statements;
  const std::vector<run::Unit> units = run::CargaUnidades(session.cnnOrigen, statements);
  const run::RunOutcome outcome = run::runValidation(test::requestFor(session, units));
  ASSERT_FALSE(outcome.errorReport);
  if (!onPath("soffice") || !onPath("pdftoppm"))
    GTEST_SKIP() << "LibreOffice (soffice) or pdftoppm missing: no pictures of the workbooks";
  fs::path unitBook;
  for (const auto& unit : outcome.units)
    if (unitBook.empty() && fs::exists(session.resultsFolder / ("Val" + unit.unit + ".xls")))
      unitBook = session.resultsFolder / ("Val" + unit.unit + ".xls");
  ASSERT_FALSE(unitBook.empty()) << "no unit with findings";
  test::TempDir scratch;
  pictureOfWorkbook(unitBook, scratch.path(), "unit-workbook.png");
  pictureOfWorkbook(session.resultsFolder / "ResultadosVal.xls", scratch.path(),
                    "summary-workbook.png");
  pictureOfWorkbook(session.resultsFolder / "Hallazgos.xls", scratch.path(), "findings-sheet.png");
}

// The pictures the guide and the README link are in docs/ (made by the test above on a real X
// server), and the test above makes every one of them.
TEST(Screenshots, EveryPictureTheGuideLinksIsThere) {
  const std::regex link(R"(\]\((?:docs/)?([A-Za-z0-9_.-]+\.png)\))");
  for (const fs::path& document :
       {test::sourceDir() / "docs" / "guia-de-uso.md", test::sourceDir() / "README.md"}) {
    SCOPED_TRACE(document.string());
    std::ifstream in(document);
    ASSERT_TRUE(in) << "missing";
    const std::string text{std::istreambuf_iterator<char>(in), {}};
    int pictures = 0;
    for (auto m = std::sregex_iterator(text.begin(), text.end(), link); m != std::sregex_iterator();
         ++m, ++pictures) {
      const std::string name = (*m)[1];
      EXPECT_TRUE(fs::exists(test::sourceDir() / "docs" / name)) << name << " is missing";
      EXPECT_TRUE(kPictures.contains(name)) << name << " is made by no test";
    }
    EXPECT_GT(pictures, 0);
  }
}

}  // namespace
}  // namespace kolt::app
