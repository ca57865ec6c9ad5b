// The start window: choosing the source, and every way a choice can fail without ending the
// program.
#include "app/frm_revision.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <fstream>
#include <memory>

#include "base/error.h"
#include "forms/qt_text.h"
#include "forms/window_fixture.h"

namespace kolt::app {
namespace {

namespace fs = std::filesystem;

class StartWindow : public ::testing::Test {
 protected:
  StartWindow() : session(folder.app) {}

  void SetUp() override {
    start = std::make_unique<FrmRevision>(session, dialogs);
    ASSERT_TRUE(test::show(*start));
  }

  // Presses "Seleccionar Base de Datos", the dialogs shown so far forgotten; the file dialog
  // answers `file` (empty: cancel).
  void choose(const fs::path& file) {
    dialogs.events.clear();
    if (!file.empty()) dialogs.files.push_back(forms::q(file));
    start->findChild<QPushButton*>("cmdAceptar")->click();
  }

  // Chooses `file`, a choice that fails (0: the file dialog cancelled): the file dialog and the
  // error were shown, the start window is still there and nothing is left open.
  void expectBackAtStart(const fs::path& file, long errorNumber) {
    choose(file);
    ASSERT_EQ(dialogs.events.size(), errorNumber ? 2u : 1u);
    EXPECT_EQ(dialogs.events[0], dialogEvent);
    EXPECT_TRUE(!errorNumber ||
                dialogs.events[1].starts_with("failure|" + std::to_string(errorNumber) + " - "))
        << dialogs.events.back();
    EXPECT_TRUE(start->isVisible());
    EXPECT_EQ(start->frmEnvio(), nullptr);
    EXPECT_FALSE(session.cnnOrigen.isOpen());
    EXPECT_FALSE(session.cnnCatalogo.isOpen());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  }

  test::ProgramFolder folder;
  const std::string dialogEvent = "openFile|Seleccionar Base de Datos ...|" + folder.app.string() +
                                  "|Archivos de Base de Datos (*.mdb *.accdb)";
  run::Session session;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrmRevision> start;
};

TEST_F(StartWindow, StartsOnCerrarInSpanishAndCancellingTheFileDialogChangesNothing) {
  auto* cmdAceptar = start->findChild<QPushButton*>("cmdAceptar");
  auto* cmdCancelar = start->findChild<QPushButton*>("cmdCancelar");
  EXPECT_EQ(QApplication::focusWidget(), cmdCancelar);
  QTest::keyClick(cmdCancelar, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), cmdAceptar);
  // What the file dialog and the message boxes show of Qt's own.
  for (const char* text : {"Look in:", "Files of type:", "&Open"})
    EXPECT_NE(QCoreApplication::translate("QFileDialog", text), text);
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Cancelar");
  EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Open"), "Abrir");

  expectBackAtStart({}, 0);
  expectBackAtStart({}, 0);  // and the button still opens the dialog
  cmdCancelar->click();
  EXPECT_FALSE(start->isVisible());
}

// Each choice that cannot be opened is reported, and another can be chosen after it: a good one
// hands over to the validation window.
TEST_F(StartWindow, AChoiceThatCannotBeOpenedIsReportedAndAGoodOneHandsOver) {
  test::WorkingDb(folder.source).egreso();
  expectBackAtStart(folder.source, base::kErrFile);
  // A missing catalogue is named by the file the user is to provide; the demonstration's only
  // after it.
  const std::string& shown = dialogs.events[1];
  EXPECT_LT(shown.find("ValidacionesKOLT.mdb"), shown.find("ValidacionesKOLT.db")) << shown;

  folder.catalogue();
  // An Access file is imported under a progress dialog; this one has no discharges: imported, then
  // refused like any source without EGRESO.
  const fs::path sample = folder.dir / "test2V2003.mdb";
  fs::copy_file(test::accessFixturesDir() / "test2V2003.mdb", sample);
  test::ProgressWatch watch;
  expectBackAtStart(sample, base::kErrNoSuchTable);
  EXPECT_TRUE(watch.busy);
  EXPECT_TRUE(!watch.seen.empty() &&
              watch.seen.back().starts_with("Importando test2V2003.mdb (Access 2000-2003)"))
      << ::testing::PrintToString(watch.seen);

  const fs::path damaged = folder.dir / "dañada.mdb";
  std::ofstream(damaged, std::ios::binary) << std::string(4096, '\x7f') << "no es una base";
  // The good source without one of the tables the list is made from.
  auto without = [&](const std::string& table) {
    const fs::path copy = folder.dir / ("sin-" + table + ".db");
    test::WorkingDb(copy).egreso().connection().execute("Drop Table " + table);
    return copy;
  };
  for (const auto& [file, error] : {std::pair{damaged, base::kErrNotAccessFile},
                                    std::pair{folder.dir / "no-existe.mdb", base::kErrFile},
                                    std::pair{without("CATCLUES"), base::kErrNoSuchTable},
                                    std::pair{without("EGRESO"), base::kErrNoSuchTable}}) {
    SCOPED_TRACE(file.filename().string());
    expectBackAtStart(file, error);
  }
  choose(folder.source);
  ASSERT_EQ(dialogs.events, std::vector<std::string>{dialogEvent});
  ASSERT_NE(start->frmEnvio(), nullptr);
  EXPECT_TRUE(start->frmEnvio()->isVisible());
  EXPECT_FALSE(start->isVisible());
  EXPECT_EQ(session.cnnOrigen.file(), folder.source);
}

}  // namespace
}  // namespace kolt::app
