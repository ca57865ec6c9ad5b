// validaciones-kolt: the program with its windows. It starts with the start window; closing the
// last window ends it.
#include <QApplication>

#include "app/frm_revision.h"
#include "forms/qt_dialogs.h"
#include "forms/qt_text.h"
#include "forms/spanish.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(kolt::forms::kTituloAplicacion);
  kolt::forms::installSpanishTranslations(application);
  // {app}: the catalogue and the results folder lie beside the executables.
  kolt::run::Session session(kolt::forms::pathOf(QCoreApplication::applicationDirPath()));
  kolt::forms::QtDialogs dialogs;
  kolt::app::FrmRevision frmRevision(session, dialogs);
  frmRevision.show();
  return QApplication::exec();
}
