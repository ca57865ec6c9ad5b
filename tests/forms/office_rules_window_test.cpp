// The validation window with the office's rules file beside the program: a faulty file is
// reported and no run starts; a correct one adds its rules to the run.
#include <gtest/gtest.h>

#include <QToolButton>
#include <fstream>
#include <memory>

#include "forms/fake_dialogs.h"
#include "forms/frm_envio.h"
#include "forms/unit_listing.h"
#include "forms/window_fixture.h"
#include "rules/office_rules.h"
#include "xls/workbook.h"

namespace kolt::forms {
namespace {

namespace fs = std::filesystem;

class OfficeRulesWindow : public ::testing::Test {
 protected:
  OfficeRulesWindow() : session(folder.app) {
    folder.catalogue();
    test::WorkingDb source(folder.source);
    source.egreso({{"edad", 115}});
  }

  // Opens the window on the source and presses "Validar" with the rules file `text` beside the
  // program.
  void validate(const std::string& text) {
    std::ofstream(folder.app / rules::kReglasAdicionales) << text;
    run::openDatabases(session, folder.source);
    window = std::make_unique<FrmEnvio>(session, dialogs);
    window->load(readUnits(session.cnnOrigen));
    ASSERT_TRUE(test::showActive(*window));
    window->findChild<QToolButton*>("cmdAceptar")->click();
  }

  test::ProgramFolder folder;
  run::Session session;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrmEnvio> window;
};

TEST_F(OfficeRulesWindow, AFaultyFileIsReportedAndNoRunStarts) {
  validate(
      "[[regla]]\nnumero = 114\ndescripcion = 'x'\nsentencias = ['select folio Into Validacion114 "
      "From egreso', 'DELETE FROM egreso']\n");
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("information||3000 - El archivo de reglas adicionales ", 0), 0u)
      << dialogs.events[0];
  EXPECT_NE(dialogs.events[0].find("Regla 114 (línea 1): sentencia 2: "), std::string::npos)
      << dialogs.events[0];
  EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
  EXPECT_TRUE(window->isVisible());
}

TEST_F(OfficeRulesWindow, ACorrectFileAddsItsRulesToTheRun) {
  validate(
      "[[regla]]\nnumero = 115\ndescripcion = 'Más de 110 años'\nsentencias = [\"select folio "
      "Into Validacion115 From egreso WHERE cveedad='3' AND edad>110\"]\n");
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("plain|El proceso de Validación", 0), 0u) << dialogs.events[0];
  const auto sheets = xls::sheetNames(session.resultsFolder / "ValDFSSA000001.xls");
  EXPECT_EQ(sheets, (std::vector<std::string>{"Validacion115", "catValidaciones"}));
}

}  // namespace
}  // namespace kolt::forms
