// The validation window: its list and select-all, the input checks with their messages and focus,
// and whole runs started from it.
#include "forms/frm_envio.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QToolButton>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include "engine/connection.h"
#include "forms/date_box.h"
#include "forms/fake_dialogs.h"
#include "forms/unit_listing.h"
#include "forms/window_fixture.h"
#include "results/results_folder.h"
#include "run/input_check.h"
#include "run/session.h"
#include "support/linux_tools.h"
#include "support/workbook_reader.h"

namespace kolt::forms {
namespace {

namespace fs = std::filesystem;
using test::WorkingDb;

const std::string kFechaInicioInvalida =
    std::string("information|Valida Fecha|") + run::kMensajeFechaInicio;
const std::string kFechaInvalida =
    "information|Valida Fecha|Fecha invalida, verifique por favor.....";
const std::string kSinUnidades = std::string("information||") + run::kMensajeSinUnidades;

class ValidationWindow : public ::testing::Test {
 protected:
  ValidationWindow() : session(folder.app) { folder.catalogue(); }

  void twoUnits() { test::twoUnitSource(folder.source); }

  void open() {
    run::openDatabases(session, folder.source);
    window = std::make_unique<FrmEnvio>(session, dialogs);
    window->load(readUnits(session.cnnOrigen));
    ASSERT_TRUE(test::showActive(*window));
  }
  void openOnTwoUnits() {
    twoUnits();
    open();
  }

  template <typename T>
  T* control(const char* name) {
    auto* found = window->findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QListWidget* list() { return control<QListWidget>("lstUnidades"); }
  QCheckBox* box() { return control<QCheckBox>("chkTodasUnidades"); }
  DateBox* ini() { return control<DateBox>("mskFechaIni"); }
  DateBox* fin() { return control<DateBox>("mskFechaFin"); }
  QLabel* notice() { return control<QLabel>("lblSinUnidades"); }
  QWidget* focused() { return QApplication::focusWidget(); }

  std::vector<Qt::CheckState> checks() {
    std::vector<Qt::CheckState> states;
    for (int i = 0; i < list()->count(); ++i) states.push_back(list()->item(i)->checkState());
    return states;
  }

  // The user's own way to tick an entry: select it and press the space bar.
  void toggleEntry(int row) {
    list()->setFocus();
    list()->setCurrentRow(row);
    QTest::keyClick(list(), Qt::Key_Space);
  }

  void type(DateBox* box, const char* text) {
    box->setFocus();
    box->home(false);
    QTest::keyClicks(box, text);
  }

  void validar() { control<QToolButton>("cmdAceptar")->click(); }

  test::ProgramFolder folder;
  run::Session session;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrmEnvio> window;
};

TEST_F(ValidationWindow, LoadListsEveryUnitCheckedWithTheControlsInTheirPlacesAndSalirCloses) {
  openOnTwoUnits();
  EXPECT_EQ(window->windowTitle(), "Validaciones Kolt");
  ASSERT_EQ(list()->count(), 2);
  EXPECT_EQ(list()->item(0)->text(), "DFSSA000001  HOSPITAL GENERAL");
  EXPECT_EQ(list()->item(1)->text(), "DFSSA000002  CLINICA NORTE");
  EXPECT_EQ(checks(), (std::vector{Qt::Checked, Qt::Checked}));
  EXPECT_TRUE(box()->isChecked());
  EXPECT_EQ(box()->text(), "Seleccionar todo");
  EXPECT_FALSE(notice()->isVisible());
  EXPECT_EQ(control<QGroupBox>("fraDatos")->title(), QString::fromUtf8("Unidad Médica"));
  EXPECT_EQ(control<QGroupBox>("fraReportes")->title(), "Periodo ");
  EXPECT_EQ(control<QToolButton>("cmdSalir")->text(), "&Salir");
  EXPECT_EQ(ini()->boxText(), "__/__/____");
  EXPECT_TRUE(dialogs.events.empty());

  // The focus starts on "&Validar" and Tab follows the designed order.
  auto* cmdAceptar = control<QToolButton>("cmdAceptar");
  EXPECT_EQ(cmdAceptar->text(), "&Validar");
  EXPECT_EQ(focused(), cmdAceptar);
  std::vector<std::string> order;
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(focused(), Qt::Key_Tab);
    order.push_back(focused()->objectName().toStdString());
  }
  EXPECT_EQ(order, (std::vector<std::string>{"cmdSalir", "lstUnidades", "chkTodasUnidades",
                                             "mskFechaIni", "mskFechaFin", "cmdAceptar"}));

  control<QToolButton>("cmdSalir")->click();
  EXPECT_FALSE(window->isVisible());
}

TEST_F(ValidationWindow, UnitsLeftOutOfTheListAreExplainedUnderItAndNoRunStarts) {
  { WorkingDb source(folder.source); }
  open();
  EXPECT_EQ(list()->count(), 0);
  EXPECT_FALSE(box()->isChecked());
  EXPECT_TRUE(notice()->isVisible());
  EXPECT_NE(notice()->text().indexOf("EGRESO"), -1) << notice()->text().toStdString();

  validar();
  EXPECT_EQ(dialogs.events, std::vector<std::string>{kSinUnidades});
  EXPECT_EQ(focused(), list());
  EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));

  // Units missing from the catalogue are named under the list.
  WorkingDb(folder.dir.path() / "ninguna.db")
      .egreso({{"clues", "DFSSA000009"}})
      .egreso({{"clues", "DFSSA000008"}});
  folder.source = folder.dir.path() / "ninguna.db";
  open();
  EXPECT_EQ(list()->count(), 0);
  EXPECT_FALSE(box()->isChecked());
  ASSERT_TRUE(notice()->isVisible());
  const std::string all = notice()->text().toStdString();
  EXPECT_NE(all.find("Ninguna unidad de EGRESO"), std::string::npos) << all;
  EXPECT_NE(all.find("DFSSA000008, DFSSA000009"), std::string::npos) << all;

  // One unit listed and one left out: the list keeps the first, the note names the other.
  WorkingDb(folder.dir.path() / "otra.db").egreso().egreso({{"clues", "DFSSA000009"}});
  folder.source = folder.dir.path() / "otra.db";
  open();
  EXPECT_EQ(list()->count(), 1);
  EXPECT_TRUE(box()->isChecked());
  const std::string some = notice()->text().toStdString();
  EXPECT_NE(some.find("La unidad DFSSA000009 de EGRESO no está"), std::string::npos) << some;
  EXPECT_LT(list()->geometry().bottom(), notice()->geometry().top());
}

TEST_F(ValidationWindow, SelectAllFollowsTheEntriesAndClearsThemAll) {
  openOnTwoUnits();
  toggleEntry(0);
  EXPECT_EQ(checks(), (std::vector{Qt::Unchecked, Qt::Checked}));
  EXPECT_FALSE(box()->isChecked());
  toggleEntry(0);
  EXPECT_EQ(checks(), (std::vector{Qt::Checked, Qt::Checked}));
  EXPECT_TRUE(box()->isChecked());

  // Setting an entry from code runs the same handling.
  list()->item(1)->setCheckState(Qt::Unchecked);
  EXPECT_FALSE(box()->isChecked());
  EXPECT_EQ(checks(), (std::vector{Qt::Checked, Qt::Unchecked}));
  // Checking the box then checks every entry, and unchecking it clears them all.
  box()->click();
  EXPECT_EQ(checks(), (std::vector{Qt::Checked, Qt::Checked}));
  box()->click();
  EXPECT_FALSE(box()->isChecked());
  EXPECT_EQ(checks(), (std::vector{Qt::Unchecked, Qt::Unchecked}));
}

TEST_F(ValidationWindow, DateBoxesTakeDigitsOnlyInTheirPlaces) {
  openOnTwoUnits();
  type(ini(), "1a5/0x6-2013");
  EXPECT_EQ(ini()->boxText(), "15/06/2013");
  ini()->clear();
  EXPECT_EQ(ini()->boxText(), "__/__/____");
  type(ini(), "3");
  EXPECT_EQ(ini()->boxText(), "3_/__/____");
  // A click in the middle of an empty box still starts the date at its first place.
  ini()->clear();
  QTest::mouseClick(ini(), Qt::LeftButton, {}, QPoint(ini()->width() / 2, ini()->height() / 2));
  QTest::keyClicks(ini(), "01012023");
  EXPECT_EQ(ini()->boxText(), "01/01/2023");
}

// ValidaDatos: what each input shows, in order, and where it leaves the focus; no run starts.
TEST_F(ValidationWindow, DateChecksComeInOrderAndMoveTheFocus) {
  openOnTwoUnits();
  box()->click();  // no unit checked either: the date messages must come first
  const std::string badEnd = std::string("information|Valida Fecha|") + run::kMensajeFechaFin;
  const std::string order = std::string("information||") + run::kMensajeOrdenFechas;
  const std::vector<std::tuple<const char*, const char*, std::vector<std::string>, QWidget*>>
      cases = {// A start date refused without a message of its own beside a bad end date: only the
               // start is reported.
               {"31042013", "15132013", {kFechaInicioInvalida}, ini()},
               {"01032013", "15132013", {badEnd}, fin()},
               {"01032013", "28022013", {order}, ini()},
               // Equal dates pass, and then the missing units are reported.
               {"01032013", "01032013", {kSinUnidades}, list()},
               // A half-typed date beeps and shows both messages.
               {"12", "", {"beep", kFechaInvalida, kFechaInicioInvalida}, ini()}};
  for (const auto& [start, end, messages, focus] : cases) {
    SCOPED_TRACE(std::string(start) + " - " + end);
    ini()->clear();
    type(ini(), start);
    fin()->clear();
    type(fin(), end);
    control<QToolButton>("cmdAceptar")->setFocus();
    dialogs.events.clear();
    validar();
    EXPECT_EQ(dialogs.events, messages);
    EXPECT_EQ(focused(), focus);
  }
  EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
}

std::vector<std::string> workbooks(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".xls") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ValidationWindow, RunFromTheWindowWritesWhatTheBatchCommandWrites) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  twoUnits();
  const fs::path batchSource = folder.dir.path() / "origen-lote.db";
  fs::copy_file(folder.source, batchSource);
  open();
  type(ini(), "01032023");
  type(fin(), "31032023");
  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0],
            "plain|El proceso de Validación de la Calidad ha Terminado, los resultados puede "
            "revisarlos dentro de la carpeta de " +
                session.resultsFolder.string());

  const fs::path batchResults = folder.dir.path() / "lote";
  std::string output;
  ASSERT_EQ(
      test::runProgram(
          "kolt-validar",
          {batchSource.string(), "--desde", "01/03/2023", "--hasta", "31/03/2023", "--catalogo",
           (folder.app / "ValidacionesKOLT.db").string(), "--resultados", batchResults.string()},
          output),
      0)
      << output;

  const auto names = workbooks(session.resultsFolder);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Hallazgos.xls", "ResultadosVal.xls", "ValDFSSA000002.xls"}));
  EXPECT_EQ(workbooks(batchResults), names);
  for (const auto& name : names) {
    if (name == "Hallazgos.xls") continue;  // its sheet Ejecucion names each run's own source
    EXPECT_EQ(test::fileText(session.resultsFolder / name), test::fileText(batchResults / name))
        << name;
  }
  const test::ReadBack window = test::readBack(session.resultsFolder / "Hallazgos.xls");
  const test::ReadBack batch = test::readBack(batchResults / "Hallazgos.xls");
  for (const char* sheet : {"PorUnidad", "PorRegla"})
    EXPECT_EQ(test::sheet(window, sheet), test::sheet(batch, sheet)) << sheet;
}

// A source corrected and saved while the window is open (here by a copy that keeps its time, as
// cp -p or an unzip leave it) is read again when "Validar" is pressed: the run validates what the
// file holds now, as kolt-validar would.
TEST_F(ValidationWindow, ASourceCorrectedWhileTheWindowIsOpenIsReadAgainByValidar) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  twoUnits();
  const fs::path engineSource = folder.source, mdb = folder.dir.path() / "origen.mdb";
  std::string out;
  ASSERT_EQ(test::runProgram("kolt-exportar-mdb", {engineSource.string(), mdb.string()}, out), 0);
  folder.source = mdb;
  open();
  {
    engine::Connection cnn;
    cnn.open(engineSource);
    cnn.executeNative("UPDATE EGRESO SET edad = 30 WHERE edad = 131");
  }
  const fs::path corrected = folder.dir.path() / "corregido.mdb";
  ASSERT_EQ(test::runProgram("kolt-exportar-mdb", {engineSource.string(), corrected.string()}, out),
            0);
  fs::last_write_time(corrected, fs::last_write_time(mdb));
  fs::rename(corrected, mdb);

  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("plain|El proceso de Validación", 0), 0u) << dialogs.events[0];
  EXPECT_TRUE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
  EXPECT_FALSE(fs::exists(session.resultsFolder / "ValDFSSA000002.xls"))
      << "the window validated the data the file held when it was opened";
}

TEST_F(ValidationWindow, RunShowsItsProgressWithTheBusyPointerUntilTheEndMessage) {
  openOnTwoUnits();
  test::ProgressWatch watch;
  bool dialogGoneAtEndMessage = false, busyAtEndMessage = false;
  dialogs.whileShown = [&] {
    dialogGoneAtEndMessage = QApplication::activeModalWidget() == nullptr;
    busyAtEndMessage = QApplication::overrideCursor() != nullptr;
  };
  validar();

  EXPECT_TRUE(watch.opened);
  EXPECT_TRUE(watch.busy);
  // Some unit's rules and the last count of units done cannot have been missed, whenever the
  // watch began.
  const auto& seen = watch.seen;
  ASSERT_FALSE(seen.empty());
  const auto rule = std::find_if(seen.begin(), seen.end(), [](const std::string& line) {
    return line.find(": regla ") != std::string::npos && line.ends_with(")");
  });
  EXPECT_NE(rule, seen.end()) << seen.back();
  EXPECT_EQ(seen.back().rfind("Unidades validadas: 2 de 2 / ", 0), 0u) << seen.back();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("plain|", 0), 0u);
  EXPECT_TRUE(dialogGoneAtEndMessage);
  EXPECT_TRUE(busyAtEndMessage);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// A run abandoned by an error (a table missing from the source), or refused before it begins (its
// results folder in use): the error in one message, the pointer restored, the window still open.
TEST_F(ValidationWindow, RunAbandonedOrRefusedReportsItsErrorAndRestoresThePointer) {
  twoUnits();
  {
    engine::Connection cnn;
    cnn.open(folder.source);
    cnn.execute("Drop Table OBSTET");
  }
  open();
  for (const auto& [expected, folderInUse] :
       {std::pair{"information||3011 - ", false},
        std::pair{"information||3045 - La carpeta de resultados ", true}}) {
    SCOPED_TRACE(expected);
    std::optional<results::ResultsFolder> otherRun;
    if (folderInUse) otherRun.emplace(session.resultsFolder);
    dialogs.events.clear();
    validar();
    ASSERT_EQ(dialogs.events.size(), 1u);
    EXPECT_EQ(dialogs.events[0].rfind(expected, 0), 0u) << dialogs.events[0];
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
    EXPECT_TRUE(window->isVisible());
  }
}

// The list shows "{code}  {name}"; the run must get the code itself, blanks and all.
TEST_F(ValidationWindow, AUnitCodeWithBlanksIsValidatedWholeFromItsEntry) {
  {
    WorkingDb source(folder.source);
    source.egreso({{"clues", "DFSSA000034 "}, {"edad", 131}});
    source.insert("CATCLUES", {{"CLUES", "DFSSA000034 "}, {"DESCUNIDAD", "CLINICA SUR"}});
  }
  open();
  ASSERT_EQ(list()->count(), 1);
  EXPECT_EQ(list()->item(0)->text(), "DFSSA000034   CLINICA SUR");
  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("plain|", 0), 0u) << dialogs.events[0];
  EXPECT_EQ(
      workbooks(session.resultsFolder),
      (std::vector<std::string>{"Hallazgos.xls", "ResultadosVal.xls", "ValDFSSA000034%20.xls"}));
}

// A source in a folder the user may read but not write, holding the unit list an earlier version
// of the program left in it.
TEST_F(ValidationWindow, OpensAndValidatesASourceItMayNotWrite) {
  twoUnits();
  {
    engine::Connection left;
    left.open(folder.source);
    left.executeNative("CREATE TABLE CLUESSEL (CLUES TEXT)");
    left.executeNative("INSERT INTO CLUESSEL VALUES ('DFSSA000099')");
  }
  test::NoWriting readOnly({folder.dir.path(), folder.source});
  if (!readOnly.holds()) GTEST_SKIP() << "cannot make a folder read-only here";
  open();
  ASSERT_EQ(list()->count(), 2);
  EXPECT_FALSE(notice()->isVisible());
  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_EQ(dialogs.events[0].rfind("plain|", 0), 0u) << dialogs.events[0];
  EXPECT_EQ(workbooks(session.resultsFolder),
            (std::vector<std::string>{"Hallazgos.xls", "ResultadosVal.xls", "ValDFSSA000002.xls"}));
}

}  // namespace
}  // namespace kolt::forms
