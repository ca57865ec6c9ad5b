// The window refuses a catalogue lacking what the rules read before any unit, and "Cancelar" stops
// a run as Ctrl-C stops kolt-validar (what a stopped run leaves: tests/run/trust_test.cpp).
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include "engine/connection.h"
#include "forms/fake_dialogs.h"
#include "forms/frm_envio.h"
#include "forms/unit_listing.h"
#include "forms/window_fixture.h"

namespace kolt::forms {
namespace {

// Validates `count` units, each with one discharge that breaks rule 1, after `statements` on the
// catalogue; returns what the user was shown.
std::vector<std::string> validar(int count, const std::vector<const char*>& statements = {}) {
  test::ProgramFolder folder;
  folder.catalogue();
  engine::Connection catalogue;
  catalogue.open(folder.app / "ValidacionesKOLT.db");
  for (const char* statement : statements) catalogue.execute(statement);
  test::manyUnitSource(folder.source, count);
  run::Session session(folder.app);
  run::openDatabases(session, folder.source);
  test::FakeDialogs dialogs;
  FrmEnvio window(session, dialogs);
  window.load(readUnits(session.cnnOrigen));
  EXPECT_TRUE(test::showActive(window));
  window.findChild<QToolButton*>("cmdAceptar")->click();
  EXPECT_FALSE(std::filesystem::exists(session.resultsFolder / "Validacion.tmp"));
  return dialogs.events;
}

TEST(TrustWindow, RefusesWhatTheRunWouldLackAndCancelarStopsBetweenUnits) {
  // A catalogue lacking tables: refused before any unit, every missing table named.
  auto shown = validar(2, {"Drop Table CATLOCAL", "Drop Table Folio"});
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].starts_with("information||3011 - Faltan tablas o columnas")) << shown[0];
  EXPECT_NE(shown[0].find("no tiene las tablas CATLOCAL y Folio."), std::string::npos) << shown[0];

  // "Cancelar" pressed once the first unit is validated.
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [] {
    auto* dialog = QApplication::activeModalWidget();
    auto* cancelar = dialog ? dialog->findChild<QPushButton*>("cmdCancelar") : nullptr;
    auto* paso = dialog ? dialog->findChild<QLabel*>("lblPaso") : nullptr;
    if (cancelar != nullptr && paso != nullptr && cancelar->isEnabled() &&
        paso->text().startsWith("Unidades validadas: ") &&
        !paso->text().startsWith("Unidades validadas: 0 "))
      cancelar->click();
  });
  watch.start(1);
  shown = validar(30);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(shown[0].starts_with("plain|La validación se interrumpió: se validaron "))
      << shown[0];
}

}  // namespace
}  // namespace kolt::forms
