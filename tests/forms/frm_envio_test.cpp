// The validation window: its list and select-all, the input checks with their messages and
// focus, and runs started from it, refused, or stopped with "Cancelar" as Ctrl-C stops
// kolt-validar (what a stopped run leaves: tests/run/trust_test.cpp; a correct office's rules
// file runs as kolt-validar runs it: tests/run/office_rules_run_test.cpp; a whole run from both
// windows against kolt-validar's: tests/app/screenshots_test.cpp).
#include "forms/frm_envio.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <fstream>
#include <memory>

#include "engine/connection.h"
#include "forms/date_box.h"
#include "forms/unit_listing.h"
#include "forms/window_fixture.h"
#include "results/results_folder.h"
#include "run/input_check.h"
#include "run/session.h"
#include "support/linux_tools.h"

namespace kolt::forms {
namespace {

namespace fs = std::filesystem;

class ValidationWindow : public ::testing::Test {
 protected:
  ValidationWindow() : session(folder.app) { folder.catalogue(); }

  // Opens the window on the source and `catalogue` (the program folder's when empty).
  void open(const fs::path& catalogue = {}) {
    run::openDatabases(session, folder.source, {}, catalogue);
    window = std::make_unique<FrmEnvio>(session, dialogs);
    window->load(readUnits(session.cnnOrigen));
    ASSERT_TRUE(test::show(*window));
  }

  QListWidget* list() { return window->findChild<QListWidget*>("lstUnidades"); }
  QCheckBox* box() { return window->findChild<QCheckBox*>("chkTodasUnidades"); }
  DateBox* ini() { return window->findChild<DateBox*>("mskFechaIni"); }
  DateBox* fin() { return window->findChild<DateBox*>("mskFechaFin"); }
  QLabel* notice() { return window->findChild<QLabel*>("lblSinUnidades"); }

  // The select-all box, then each entry: "X:x-" is the box checked, the first entry checked and the
  // second not.
  std::string marks() {
    std::string marks = box()->isChecked() ? "X:" : "-:";
    for (int i = 0; i < list()->count(); ++i)
      marks += list()->item(i)->checkState() == Qt::Checked ? 'x' : '-';
    return marks;
  }

  // Types `text` into the emptied `box`.
  void type(DateBox* box, const char* text) {
    box->clear();
    box->setFocus();
    box->home(false);
    QTest::keyClicks(box, text);
  }

  void validar() { window->findChild<QToolButton*>("cmdAceptar")->click(); }

  // Opens the window and presses "Validar": one message, starting with `said` and naming `part`,
  // the pointer restored, the window still open, nothing written.
  void expectRefused(const std::string& said, const std::string& part = "") {
    open();
    dialogs.events.clear();
    validar();
    ASSERT_EQ(dialogs.events.size(), 1u);
    EXPECT_TRUE(dialogs.events[0].starts_with(said)) << dialogs.events[0];
    EXPECT_NE(dialogs.events[0].find(part), std::string::npos) << dialogs.events[0];
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
  }

  static void execute(const fs::path& file, const std::vector<const char*>& statements) {
    engine::Connection cnn;
    cnn.open(file);
    for (const char* statement : statements) cnn.executeNative(statement);
  }

  // Opens the window on the two-unit source written as an Access file, origen.mdb, as users have
  // theirs; `engineSource` is the database it is written from.
  void openAccessSource() {
    test::twoUnitSource(folder.source);
    engineSource = std::exchange(folder.source, folder.dir / "origen.mdb");
    changeAccessSource({});
    open();
  }

  // Runs `statements` on the engine source and writes it again over the Access file, by a rename
  // as a copy or a save replaces it; with `keepTime` the file keeps its time (cp -p, an unzip).
  void changeAccessSource(const std::vector<const char*>& statements, bool keepTime = false) {
    execute(engineSource, statements);
    const fs::path changed = folder.dir / "cambiado.mdb";
    std::string out;
    ASSERT_EQ(test::runProgram("kolt-exportar-mdb", {engineSource.string(), changed.string()}, out),
              0)
        << out;
    if (keepTime) fs::last_write_time(changed, fs::last_write_time(folder.source));
    fs::rename(changed, folder.source);
  }

  test::ProgramFolder folder;
  run::Session session;
  test::FakeDialogs dialogs;
  std::unique_ptr<FrmEnvio> window;
  fs::path engineSource;
};

TEST_F(ValidationWindow, TheListSelectAllAndTheDatesAnswerTheUserAndSalirCloses) {
  test::twoUnitSource(folder.source);
  open();
  EXPECT_EQ(marks(), "X:xx");

  // The focus starts on "&Validar" and Tab follows the designed order.
  std::string order = QApplication::focusWidget()->objectName().toStdString();
  for (int i = 0; i < 6; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    order += " " + QApplication::focusWidget()->objectName().toStdString();
  }
  EXPECT_EQ(order,
            "cmdAceptar cmdSalir lstUnidades chkTodasUnidades mskFechaIni mskFechaFin cmdAceptar");

  // The user's own way to tick an entry: select it and press the space bar.
  list()->setCurrentRow(0);
  QTest::keyClick(list(), Qt::Key_Space);
  EXPECT_EQ(marks(), "-:-x");
  QTest::keyClick(list(), Qt::Key_Space);
  EXPECT_EQ(marks(), "X:xx");
  // Setting an entry from code runs the same handling.
  list()->item(1)->setCheckState(Qt::Unchecked);
  EXPECT_EQ(marks(), "-:x-");
  // Checking the box then checks every entry, and unchecking it clears them all.
  box()->click();
  EXPECT_EQ(marks(), "X:xx");
  box()->click();
  EXPECT_EQ(marks(), "-:--");

  // ValidaDatos: what each input shows, in order, and where it leaves the focus; no run starts.
  type(ini(), "1a5/0x6-2013");
  EXPECT_EQ(ini()->boxText(), "15/06/2013");
  // A click in the middle of an empty box still starts the date at its first place.
  ini()->clear();
  QTest::mouseClick(ini(), Qt::LeftButton, {}, QPoint(ini()->width() / 2, ini()->height() / 2));
  QTest::keyClicks(ini(), "3");
  EXPECT_EQ(ini()->boxText(), "3_/__/____");

  // No unit is checked either: the date messages must come first.
  const std::string info = "information||", fecha = "information|Valida Fecha|",
                    badStart = fecha + run::kMensajeFechaInicio;
  // A start date refused without a message of its own beside a bad end date: only the start is
  // reported. Equal dates pass, and then the missing units are reported. A half-typed date beeps
  // and shows both messages.
  const std::tuple<const char*, const char*, std::vector<std::string>, QWidget*> cases[] = {
      {"31042013", "15132013", {badStart}, ini()},
      {"01032013", "15132013", {fecha + run::kMensajeFechaFin}, fin()},
      {"01032013", "28022013", {info + run::kMensajeOrdenFechas}, ini()},
      {"01032013", "01032013", {info + run::kMensajeSinUnidades}, list()},
      {"12", "", {"beep", fecha + "Fecha invalida, verifique por favor.....", badStart}, ini()}};
  for (const auto& [start, end, messages, focus] : cases) {
    SCOPED_TRACE(std::string(start) + " - " + end);
    type(ini(), start);
    type(fin(), end);
    window->findChild<QToolButton*>("cmdAceptar")->setFocus();
    dialogs.events.clear();
    validar();
    EXPECT_EQ(dialogs.events, messages);
    EXPECT_EQ(QApplication::focusWidget(), focus);
  }

  window->findChild<QToolButton*>("cmdSalir")->click();
  EXPECT_FALSE(window->isVisible());
}

// The note under the list names the units it cannot show, or says there are none. ("Validar" with
// no unit checked: the dates' table above.)
TEST_F(ValidationWindow, UnitsLeftOutOfTheListAreExplainedUnderIt) {
  const std::tuple<std::vector<const char*>, int, const char*> cases[] = {
      {{"DFSSA000001", "DFSSA000009"}, 1, "La unidad DFSSA000009 de EGRESO no está en el catálogo"},
      {{"DFSSA000009", "DFSSA000008"},
       0,
       "Ninguna unidad de EGRESO está en el catálogo CATCLUES (DFSSA000008, DFSSA000009)"},
      {{}, 0, "La tabla EGRESO de esta base de datos no tiene egresos"}};
  for (const auto& [units, listed, said] : cases) {
    SCOPED_TRACE(said);
    folder.source = folder.dir / ("origen" + std::to_string(units.size() + listed) + ".db");
    test::WorkingDb source(folder.source);
    for (const char* unit : units) source.egreso({{"clues", unit}});
    open();
    EXPECT_EQ(marks(), listed == 0 ? "-:" : "X:x");
    ASSERT_TRUE(notice()->isVisible());
    EXPECT_NE(notice()->text().indexOf(QString::fromUtf8(said)), -1)
        << notice()->text().toStdString();
    EXPECT_LT(list()->geometry().bottom(), notice()->geometry().top());
  }
}

// The demonstration catalogue is said under the list, below the note on units left out of it, in
// plain sight before any run; another catalogue is not.
TEST_F(ValidationWindow, TheDemonstrationCatalogueIsSaidUnderTheList) {
  test::WorkingDb source(folder.source);
  for (const char* unit : {"DFSSA000001", "DFSSA000009"}) source.egreso({{"clues", unit}});
  test::ruleCatalogue(folder.dir / "oficial.db");
  for (const fs::path& catalogue : {fs::path(), folder.dir / "oficial.db"}) {
    SCOPED_TRACE(catalogue.string());
    open(catalogue);
    const auto* note = window->findChild<QLabel*>("lblCatalogo");
    ASSERT_TRUE(notice()->isVisible());
    if (!catalogue.empty()) {
      EXPECT_FALSE(note->isVisible()) << note->text().toStdString();
      EXPECT_LT(list()->geometry().bottom(), notice()->geometry().top());
      continue;
    }
    ASSERT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().startsWith(QString::fromUtf8("Se usa el CATÁLOGO DE DEMOSTRACIÓN")))
        << note->text().toStdString();
    EXPECT_EQ(note->toolTip().toStdString(), platform::utf8(folder.app / "ValidacionesKOLT.mdb"));
    // Each whole, one under the other, inside the frame.
    EXPECT_LT(list()->geometry().bottom(), notice()->geometry().top());
    EXPECT_LT(notice()->geometry().bottom(), note->geometry().top());
    EXPECT_LE(note->geometry().bottom(), note->parentWidget()->height());
    EXPECT_GE(note->height(), note->heightForWidth(note->width()));
  }
}

// A source corrected and saved while the window is open (here by a copy that keeps its time, as
// cp -p or an unzip leave it) is read again when "Validar" is pressed: the run validates what
// the file holds now, as kolt-validar would.
TEST_F(ValidationWindow, ASourceCorrectedWhileTheWindowIsOpenIsReadAgainByValidar) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  openAccessSource();
  changeAccessSource({"UPDATE EGRESO SET edad = 30 WHERE edad = 131"}, true);

  validar();
  // Of the unit whose discharge the correction mended, no findings.
  EXPECT_EQ(test::workbooks(session.resultsFolder),
            (std::set<std::string>{"Hallazgos.xls", "ResultadosVal.xls"}))
      << ::testing::PrintToString(dialogs.events);
}

// A source whose units changed while the window is open: "Validar" shows the list the file holds
// now and says so, instead of running on a choice made among other units. The user's marks stay
// where they still apply; a list fully checked stays fully checked. The next "Validar" runs.
TEST_F(ValidationWindow, ASourceWhoseUnitsChangedIsListedAgainBeforeAnyRun) {
  KOLT_NEEDS_LINUX_TOOL(PosixShell);
  openAccessSource();
  list()->item(0)->setCheckState(Qt::Unchecked);
  ASSERT_EQ(marks(), "-:-x");

  const std::string sayOne =
      "information||El archivo origen.mdb cambió desde que se leyó su lista de unidades: la lista "
      "se leyó de nuevo y ahora ";
  const std::string sayTwo =
      ". No se validó ninguna unidad: elija las unidades en la lista y pulse Validar otra vez.";
  const std::tuple<std::vector<const char*>, std::string, std::string, std::vector<std::string>>
      cases[] = {
          // The unchecked unit gone, a new one: the checked unit stays checked, the new one waits.
          {{"CREATE TEMP TABLE t AS SELECT * FROM EGRESO WHERE clues = 'DFSSA000001'",
            "DELETE FROM EGRESO WHERE clues = 'DFSSA000001'",
            "UPDATE t SET clues = 'DFSSA000003', folio = '90'",
            "INSERT INTO EGRESO SELECT * FROM t",
            "INSERT INTO CATCLUES (CLUES, DESCUNIDAD) VALUES ('DFSSA000003', 'CLINICA SUR')"},
           "tiene la unidad nueva DFSSA000003 y ya no tiene la unidad DFSSA000001",
           "-:x-",
           {"DFSSA000002  CLINICA NORTE", "DFSSA000003  CLINICA SUR"}},
          // Every unit checked, two more and one renamed: every unit checked.
          {{"CREATE TEMP TABLE t AS SELECT * FROM EGRESO WHERE clues = 'DFSSA000003'",
            "UPDATE t SET clues = 'DFSSA000001', folio = '91'",
            "INSERT INTO EGRESO SELECT * FROM t",
            "UPDATE t SET clues = 'DFSSA000004', folio = '92'",
            "INSERT INTO EGRESO SELECT * FROM t",
            "INSERT INTO CATCLUES (CLUES, DESCUNIDAD) VALUES ('DFSSA000004', 'CLINICA ESTE')",
            "UPDATE CATCLUES SET DESCUNIDAD = 'CLINICA OESTE' WHERE CLUES = 'DFSSA000003'"},
           "tiene las unidades nuevas DFSSA000001, DFSSA000004 y cambió el nombre de la unidad "
           "DFSSA000003",
           "X:xxxx",
           {"DFSSA000001  HOSPITAL GENERAL", "DFSSA000002  CLINICA NORTE",
            "DFSSA000003  CLINICA OESTE", "DFSSA000004  CLINICA ESTE"}}};
  for (const auto& [statements, changes, after, entries] : cases) {
    SCOPED_TRACE(changes);
    changeAccessSource(statements);
    dialogs.events.clear();
    validar();
    EXPECT_EQ(dialogs.events, std::vector<std::string>{sayOne + changes + sayTwo});
    EXPECT_EQ(marks(), after);
    std::vector<std::string> listed;
    for (int i = 0; i < list()->count(); ++i)
      listed.push_back(list()->item(i)->text().toStdString());
    EXPECT_EQ(listed, entries);
    // The window's focus, active or not once the work dialog is gone.
    EXPECT_EQ(window->focusWidget(), list());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
    // Before the next change, the user checks every unit.
    if (!box()->isChecked()) box()->click();
  }

  // The list is the file's now: the run goes ahead.
  dialogs.events.clear();
  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_TRUE(dialogs.events[0].starts_with("plain|")) << dialogs.events[0];
  EXPECT_TRUE(fs::exists(session.resultsFolder / "ResultadosVal.xls"));
}

// A source in a folder the user may read but not write (where this system lets the test make it
// so), holding the unit list an earlier version of the program left in it, and a unit code with
// a trailing blank: the list shows "{code}  {name}", the run must get the code itself, whole.
TEST_F(ValidationWindow, ARunShowsItsProgressUnderTheBusyPointerUntilTheEndMessage) {
  test::WorkingDb(folder.source)
      .egreso()
      .egreso({{"clues", "DFSSA000034 "}, {"edad", 131}})
      .insert("CATCLUES", {{"CLUES", "DFSSA000034 "}, {"DESCUNIDAD", "CLINICA SUR"}});
  execute(folder.source,
          {"CREATE TABLE CLUESSEL (CLUES TEXT)", "INSERT INTO CLUESSEL VALUES ('DFSSA000099')"});
  test::NoWriting readOnly({folder.dir.path(), folder.source});
  open();
  EXPECT_EQ(list()->item(1)->text(), "DFSSA000034   CLINICA SUR");
  EXPECT_FALSE(notice()->isVisible());
  test::ProgressWatch watch;
  bool busyAtEnd = false;  // the work dialog gone, the pointer still busy
  dialogs.whileShown = [&] {
    busyAtEnd = !QApplication::activeModalWidget() && QApplication::overrideCursor();
  };
  validar();

  EXPECT_TRUE(watch.busy);
  // Some unit's rules and the last count of units done cannot have been missed, whenever the
  // watch began.
  ASSERT_FALSE(watch.seen.empty());
  EXPECT_TRUE(std::ranges::any_of(watch.seen, [](const std::string& line) {
    return line.find(": regla ") != std::string::npos && line.ends_with(")");
  }));
  EXPECT_TRUE(watch.seen.back().starts_with("Unidades validadas: 2 de 2 / ")) << watch.seen.back();
  EXPECT_TRUE(dialogs.events.size() == 1 && dialogs.events[0].starts_with("plain|") && busyAtEnd)
      << ::testing::PrintToString(dialogs.events);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(test::workbooks(session.resultsFolder),
            (std::set<std::string>{"Hallazgos.xls", "ResultadosVal.xls", "ValDFSSA000034%20.xls"}));
}

// "Cancelar" stops a run between units. A run is refused before any unit when its results folder
// is in use by another run, when the office's rules file is faulty, and when the catalogue or the
// source lacks what the rules read (every missing table named).
TEST_F(ValidationWindow, CancelarStopsARunAndWhatARunWouldLackIsRefusedInOneMessage) {
  test::manyUnitSource(folder.source, 30);
  open();
  // "Cancelar" pressed once the first unit is validated.
  test::ProgressWatch watch([](QWidget* dialog, const std::string& line) {
    if (line.starts_with("Unidades validadas: ") && !line.starts_with("Unidades validadas: 0 "))
      dialog->findChild<QPushButton*>("cmdCancelar")->click();
  });
  validar();
  ASSERT_EQ(dialogs.events.size(), 1u);
  EXPECT_TRUE(dialogs.events[0].starts_with("plain|La validación se interrumpió: se validaron "))
      << dialogs.events[0];
  EXPECT_FALSE(fs::exists(session.resultsFolder / "Validacion.tmp"));
  fs::remove_all(session.resultsFolder);

  {
    const results::ResultsFolder otherRun(session.resultsFolder);
    expectRefused("information||3045 - La carpeta de resultados ");
  }
  // A folder the window cannot make: the window gives no way to choose another, and says what the
  // user can do instead.
  const fs::path results = session.resultsFolder;
  std::ofstream(folder.dir / "archivo") << "x";
  session.resultsFolder = folder.dir / "archivo" / "RESULTADOS";
  expectRefused("information||3044 - No se puede crear la carpeta de resultados ",
                "para dejarlos en otra carpeta, valide con kolt-validar y su opción --resultados");
  EXPECT_EQ(dialogs.events[0].find("o use otra carpeta"), std::string::npos) << dialogs.events[0];
  session.resultsFolder = results;
  // Every faulty rule is named: one refused by its form, one by the source's tables.
  const fs::path rules = folder.app / "ReglasAdicionales.toml";
  std::ofstream(rules) << "[[regla]]\nnumero = 114\ndescripcion = 'x'\nsentencias = ['select folio "
                          "Into Validacion114 From egreso', 'DELETE FROM egreso']\n[[regla]]\n"
                          "numero = 115\ndescripcion = 'x'\nsentencias = ['select peso Into "
                          "Validacion115 From egreso']\n";
  expectRefused("information||3000 - El archivo de reglas adicionales ",
                "Regla 114 (línea 1): sentencia 2: ");
  EXPECT_NE(dialogs.events[0].find("Regla 115 (línea 5): sentencia 1: La columna 'peso'"),
            std::string::npos)
      << dialogs.events[0];
  fs::remove(rules);
  execute(folder.app / "ValidacionesKOLT.db", {"Drop Table CATLOCAL", "Drop Table Folio"});
  expectRefused("information||3011 - Faltan tablas o columnas",
                "no tiene las tablas CATLOCAL y Folio.");
  execute(folder.source, {"Drop Table OBSTET"});
  expectRefused("information||3011 - ", "OBSTET");
}

}  // namespace
}  // namespace kolt::forms
