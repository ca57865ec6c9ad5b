// The validation window with a faulty office's rules file beside the program: it is reported and
// no run starts. (A correct one runs as kolt-validar runs it: tests/run/office_rules_run_test.cpp.)
#include <gtest/gtest.h>

#include <QToolButton>
#include <fstream>

#include "forms/fake_dialogs.h"
#include "forms/frm_envio.h"
#include "forms/unit_listing.h"
#include "forms/window_fixture.h"

namespace kolt::forms {
namespace {

TEST(OfficeRulesWindow, AFaultyFileIsReportedAndNoRunStarts) {
  test::ProgramFolder folder;
  folder.catalogue();
  test::WorkingDb(folder.source).egreso();
  std::ofstream(folder.app / "ReglasAdicionales.toml")
      << "[[regla]]\nnumero = 114\ndescripcion = 'x'\nsentencias = ['select folio Into "
         "Validacion114 From egreso', 'DELETE FROM egreso']\n";
  run::Session session(folder.app);
  run::openDatabases(session, folder.source);
  test::FakeDialogs dialogs;
  FrmEnvio window(session, dialogs);
  window.load(readUnits(session.cnnOrigen));
  ASSERT_TRUE(test::showActive(window));
  window.findChild<QToolButton*>("cmdAceptar")->click();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("information||3000 - El archivo de reglas adicionales ", 0), 0u)
      << dialogs.events[0];
  EXPECT_FALSE(std::filesystem::exists(session.resultsFolder / "ResultadosVal.xls"));
  EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace kolt::forms
