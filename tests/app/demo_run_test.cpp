// The demonstration database validated as a user does it, through both windows (the start window
// opens the Access file, the validation window runs it), writes the very workbooks kolt-validar
// writes from the same file. The programs are the build's own: on Windows, under Wine, the Windows
// ones.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <fstream>
#include <iterator>

#include "app/frm_revision.h"
#include "base/platform/child_process.h"
#include "base/platform/paths.h"
#include "forms/date_box.h"
#include "forms/fake_dialogs.h"
#include "forms/qt_text.h"
#include "forms/window_fixture.h"

namespace kolt::app {
namespace {

namespace fs = std::filesystem;

// Runs one of the build's programs; its standard error when it fails.
std::string runProgram(const std::string& name, const std::vector<std::string>& arguments) {
  const auto outcome = platform::runChild(platform::executableIn(test::binaryDir() / "bin", name),
                                          arguments, {}, [](std::string_view) {});
  if (outcome.end == platform::ChildOutcome::End::Exited && outcome.status == 0) return {};
  return name + " failed (" + std::to_string(outcome.status) + "): " + outcome.diagnostics;
}

std::vector<std::string> workbooks(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".xls")
      names.push_back(platform::utf8(entry.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

std::string bytesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(DemoRun, ThroughTheWindowsWritesTheWorkbooksOfKoltValidar) {
  test::TempDir dir;
  const fs::path demo = dir / "egresos-demo.mdb", batchCopy = dir / "lote" / "egresos-demo.mdb";
  // The demonstration database scripts/demo.sh makes.
  ASSERT_EQ(runProgram("kolt-generar", {platform::utf8(demo), "--egresos", "3000", "--unidades",
                                        "5", "--limpias", "1", "--errores", "0.1"}),
            "");
  fs::create_directories(batchCopy.parent_path());
  fs::copy_file(demo, batchCopy);

  // The window reads the build's catalogue beside the programs, as kolt-validar does.
  run::Session session(test::binaryDir() / "bin");
  session.resultsFolder = dir / "ventana";
  test::FakeDialogs dialogs;
  FrmRevision start(session, dialogs);
  ASSERT_TRUE(test::showExposed(start));
  dialogs.files.push_back(forms::q(demo));
  start.findChild<QPushButton*>("cmdAceptar")->click();
  ASSERT_NE(start.frmEnvio(), nullptr) << (dialogs.events.empty() ? "" : dialogs.events.back());
  forms::FrmEnvio& window = *start.frmEnvio();
  ASSERT_TRUE(test::showExposed(window));
  for (auto [name, text] : {std::pair{"mskFechaIni", "01012023"}, {"mskFechaFin", "31122023"}}) {
    auto* box = window.findChild<forms::DateBox*>(name);
    box->setFocus();
    box->home(false);
    QTest::keyClicks(box, text);
  }
  dialogs.events.clear();
  window.findChild<QToolButton*>("cmdAceptar")->click();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("plain|El proceso de Validación de la Calidad ha Terminado", 0),
            0u)
      << dialogs.events[0];

  const fs::path batch = dir / "lote" / "RESULTADOS";
  ASSERT_EQ(
      runProgram("kolt-validar", {platform::utf8(batchCopy), "--desde", "01/01/2023", "--hasta",
                                  "31/12/2023", "--resultados", platform::utf8(batch)}),
      "");
  const auto names = workbooks(batch);
  EXPECT_GT(names.size(), 2u);
  EXPECT_EQ(workbooks(session.resultsFolder), names);
  for (const auto& name : names) {
    // Its sheet Ejecucion names each run's own source and time (ValidationWindow's test compares
    // the other sheets); every other workbook must be the same to the byte.
    if (name == "Hallazgos.xls") continue;
    SCOPED_TRACE(name);
    EXPECT_EQ(bytesOf(session.resultsFolder / name), bytesOf(batch / name));
  }
}

}  // namespace
}  // namespace kolt::app
