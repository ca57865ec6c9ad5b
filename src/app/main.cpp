// validaciones-kolt: the program with its windows. It starts with the start window; closing the
// last window ends it.
#include <QApplication>
#include <cstring>
#include <iostream>

#include "app/frm_revision.h"
#include "forms/qt_dialogs.h"
#include "forms/qt_text.h"
#include "forms/spanish.h"

namespace {

constexpr const char* kUsage =
    "Uso: validaciones-kolt [ARCHIVO]\n"
    "\n"
    "Abre la ventana de Validaciones Kolt. Con ARCHIVO (.mdb, .accdb o base del programa) abre\n"
    "esa base de datos de egresos como si se hubiera elegido con \"Seleccionar Base de Datos\".\n"
    "Para validar sin ventanas: kolt-validar --help.\n";

bool asksForHelp(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (const char* option : {"--help", "-h", "--ayuda"})
      if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Answered on the terminal, before any window (or a screen to draw one on) is needed.
  if (asksForHelp(argc, argv)) {
    std::cout << kUsage;
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(kolt::forms::kTituloAplicacion);
  kolt::forms::installSpanishTranslations(application);
  // {app}: the catalogue and the results folder lie beside the executables.
  kolt::run::Session session(kolt::forms::pathOf(QCoreApplication::applicationDirPath()));
  kolt::forms::QtDialogs dialogs;
  kolt::app::FrmRevision frmRevision(session, dialogs);
  frmRevision.show();
  // The file manager opens a database with the program this way; Qt has taken its own options out
  // of the arguments by now. Qt reads them as the system keeps them (on Windows the UTF-16 command
  // line: a name with accents arrives whole whatever the code page).
  const QStringList arguments = QCoreApplication::arguments();
  if (arguments.size() > 1) frmRevision.openSource(arguments.at(1));
  return QApplication::exec();
}
