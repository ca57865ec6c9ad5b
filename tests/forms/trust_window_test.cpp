// The window's side of verdicts a user can trust: a catalogue that lacks what the rules read is
// refused before any unit runs, and "Cancelar" stops a run as Ctrl-C stops kolt-validar.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <memory>

#include "engine/connection.h"
#include "forms/fake_dialogs.h"
#include "forms/frm_envio.h"
#include "forms/unit_listing.h"
#include "forms/window_fixture.h"
#include "support/workbook_reader.h"

namespace kolt::forms {
namespace {

namespace fs = std::filesystem;
using test::WorkingDb;

class TrustWindow : public ::testing::Test {
 protected:
  TrustWindow() : session(folder.app) { folder.catalogue(); }

  // `count` units, each with one discharge of March 2023 that breaks rule 1.
  void open(int count) {
    {
      WorkingDb source(folder.source);
      for (int u = 1; u <= count; ++u) {
        const std::string code = "DFSSA0001" + std::string(u < 10 ? "0" : "") + std::to_string(u);
        source.egreso({{"clues", code}, {"edad", 131}});
        source.insert("CATCLUES", {{"CLUES", code}, {"DESCUNIDAD", "UNIDAD"}});
      }
    }
    run::openDatabases(session, folder.source);
    window = std::make_unique<FrmEnvio>(session, dialogs);
    window->load(readUnits(session.cnnOrigen));
    ASSERT_TRUE(test::showActive(*window));
  }

  void validar() { window->findChild<QToolButton*>("cmdAceptar")->click(); }

  test::ProgramFolder folder;
  run::Session session;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrmEnvio> window;
};

TEST_F(TrustWindow, ACatalogueLackingTablesIsRefusedBeforeAnyUnit) {
  {
    engine::Connection catalogue;
    catalogue.open(folder.app / "ValidacionesKOLT.db");
    catalogue.execute("Drop Table CATLOCAL");
    catalogue.execute("Drop Table Folio");
  }
  open(2);
  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_TRUE(dialogs.events[0].starts_with("information||3011 - Faltan tablas o columnas"))
      << dialogs.events[0];
  EXPECT_NE(dialogs.events[0].find("no tiene las tablas CATLOCAL y Folio."), std::string::npos)
      << dialogs.events[0];
  EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
  EXPECT_FALSE(fs::exists(session.resultsFolder / "Validacion.log"));
}

// "Cancelar" is pressed once the first unit is validated: the run stops between its units, and
// what it leaves claims only the units it finished.
TEST_F(TrustWindow, CancelarEndsTheRunWithOnlyWhatItFinished) {
  open(30);
  bool offered = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    auto* dialog = QApplication::activeModalWidget();
    auto* cancelar = dialog ? dialog->findChild<QPushButton*>("cmdCancelar") : nullptr;
    auto* paso = dialog ? dialog->findChild<QLabel*>("lblPaso") : nullptr;
    if (cancelar == nullptr || paso == nullptr || !cancelar->isEnabled() ||
        !paso->text().startsWith("Unidades validadas: ") ||
        paso->text().startsWith("Unidades validadas: 0 "))
      return;
    offered = cancelar->text() == "Cancelar";
    cancelar->click();
  });
  watch.start(1);
  validar();
  watch.stop();
  EXPECT_TRUE(offered);
  ASSERT_EQ(dialogs.events.size(), 1u);
  const std::string& message = dialogs.events[0];
  ASSERT_TRUE(message.starts_with("plain|La validación se interrumpió: se validaron ")) << message;
  std::size_t workbooks = 0;
  for (const auto& entry : fs::directory_iterator(session.resultsFolder))
    workbooks += entry.path().filename().string().starts_with("ValDFSSA");
  EXPECT_GE(workbooks, 1u);
  EXPECT_LT(workbooks, 30u);
  EXPECT_EQ(
      test::sheet(test::readBack(session.resultsFolder / "ResultadosVal.xls"), "Resultados").size(),
      workbooks + 1);
  EXPECT_FALSE(fs::exists(session.resultsFolder / "Validacion.tmp"));
}

}  // namespace
}  // namespace kolt::forms
