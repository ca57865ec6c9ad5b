// A program folder with its catalogue and a source database beside it, built from literal rows,
// for tests that open the windows on them.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "run/session.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::test {

class ProgramFolder {
 public:
  ProgramFolder() : app(dir.path() / "programa"), source(dir.path() / "origen.db") {
    std::filesystem::create_directories(app);
  }

  // The catalogue database of the program, with one rule described.
  void catalogue() { ruleCatalogue(app / "ValidacionesKOLT.db"); }

  TempDir dir;
  std::filesystem::path app;
  std::filesystem::path source;
};

// Shows `window` and makes it the active window, so that focus moves can be seen.
inline bool showActive(QWidget& window) {
  window.show();
  QApplication::setActiveWindow(&window);
  return QTest::qWaitForWindowActive(&window);
}

// Shows `window` and waits until it is on the screen; on a bare X server no window manager makes it
// active.
inline bool showExposed(QWidget& window) {
  window.show();
  return QTest::qWaitForWindowExposed(&window);
}

// What the work dialog shows. Armed before the dialog opens, the watch runs first in the dialog's
// own loop, before any progress it shows, and then notes its two lines at every move of the bar.
class ProgressWatch {
 public:
  ProgressWatch() {
    QTimer::singleShot(0, [this] {
      auto* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr || dialog->objectName() != "dlgProgreso") return;
      opened = true;
      busy = QApplication::overrideCursor() != nullptr &&
             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
      auto* paso = dialog->findChild<QLabel*>("lblPaso");
      auto* detalle = dialog->findChild<QLabel*>("lblDetalle");
      QObject::connect(
          dialog->findChild<QProgressBar*>("barProgreso"), &QProgressBar::valueChanged,
          [this, paso, detalle] {
            seen.push_back(paso->text().toStdString() + " / " + detalle->text().toStdString());
          });
    });
  }
  ProgressWatch(const ProgressWatch&) = delete;
  ProgressWatch& operator=(const ProgressWatch&) = delete;

  bool opened = false;
  bool busy = false;  // the busy pointer was on while the dialog showed
  std::vector<std::string> seen;
};

}  // namespace kolt::test
