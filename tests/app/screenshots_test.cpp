// Pictures of both windows as a user sees them, kept under the build folder (artefacts/) for
// review: "{window}-{platform}.png".
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <memory>

#include "app/frm_revision.h"
#include "forms/date_box.h"
#include "forms/fake_dialogs.h"
#include "forms/qt_text.h"
#include "forms/window_fixture.h"

namespace kolt::app {
namespace {

namespace fs = std::filesystem;

fs::path save(QWidget& window) {
  const fs::path folder = test::binaryDir() / "artefacts";
  fs::create_directories(folder);
  const fs::path file = folder / (window.objectName().toStdString() + "-" +
                                  QGuiApplication::platformName().toStdString() + ".png");
  EXPECT_TRUE(window.grab().save(forms::q(file), "PNG")) << file;
  return file;
}

// A picture that is more than one flat colour: something was drawn.
void expectDrawn(const fs::path& file, QSize size) {
  QImage image(forms::q(file));
  ASSERT_FALSE(image.isNull()) << file;
  EXPECT_EQ(image.size(), size);
  QSet<QRgb> colours;
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 4) << file;
}

TEST(Screenshots, BothWindows) {
  test::ProgramFolder folder;
  folder.catalogue();
  {
    test::WorkingDb source(folder.source);
    const char* units[][2] = {{"DFSSA000001", "HOSPITAL GENERAL"},
                              {"DFSSA000002", "CLINICA NORTE"},
                              {"DFSSA000003", "HOSPITAL MATERNO INFANTIL"},
                              {"DFSSA000004", "CENTRO DE SALUD SUR"}};
    for (const auto& unit : units) {
      source.egreso({{"clues", unit[0]}});
      if (std::string_view(unit[0]) != test::kClues)
        source.insert("CATCLUES", {{"CLUES", unit[0]}, {"DESCUNIDAD", unit[1]}});
    }
    source.egreso({{"clues", "DFSSA000009"}});  // not in CATCLUES: named under the list
  }
  run::Session session(folder.app);
  test::FakeDialogs dialogs;
  FrmRevision start(session, dialogs);
  ASSERT_TRUE(test::showExposed(start));
  const fs::path startPicture = save(start);
  expectDrawn(startPicture, start.size() * start.devicePixelRatio());

  dialogs.files.push_back(forms::q(folder.source));
  start.findChild<QPushButton*>("cmdAceptar")->click();
  ASSERT_NE(start.frmEnvio(), nullptr) << (dialogs.events.empty() ? "" : dialogs.events.back());
  forms::FrmEnvio& window = *start.frmEnvio();
  ASSERT_TRUE(test::showExposed(window));
  auto* list = window.findChild<QListWidget*>("lstUnidades");
  list->item(2)->setCheckState(Qt::Unchecked);
  for (auto [name, text] : {std::pair{"mskFechaIni", "01012023"}, {"mskFechaFin", "31032023"}}) {
    auto* box = window.findChild<forms::DateBox*>(name);
    box->setFocus();
    QTest::keyClicks(box, text);
  }
  list->setFocus();
  list->setCurrentRow(2);
  expectDrawn(save(window), window.size() * window.devicePixelRatio());
}

}  // namespace
}  // namespace kolt::app
