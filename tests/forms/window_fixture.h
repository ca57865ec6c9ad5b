// What the window tests share: a program folder with its catalogue and a source database beside
// it, built from literal rows, for tests that open the windows on them; the user's side of the
// dialogs; showing a window; watching the work dialog.
#pragma once

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/platform/paths.h"
#include "forms/dialogs.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::test {

// The user's side of the message boxes and the file dialog, played by a test: every box is
// recorded in the order shown, and the file dialog answers from a queue (empty: cancel).
class FakeDialogs : public forms::Dialogs {
 public:
  // "beep", "information|{title}|{text}", "failure|{text}", "plain|{text}",
  // "openFile|{title}|{folder}|{filter}".
  std::vector<std::string> events;
  QStringList files;
  // Runs while a message box is "open", as the user would look at the screen then.
  std::function<void()> whileShown;

  void information(QWidget*, const QString& text, const QString& title = {}) override {
    shown("information|" + title.toStdString() + "|" + text.toStdString());
  }
  void failure(QWidget*, const QString& text) override { shown("failure|" + text.toStdString()); }
  void plain(QWidget*, const QString& text) override { shown("plain|" + text.toStdString()); }
  void beep() override { events.push_back("beep"); }
  QString openFile(QWidget*, const QString& title, const QString& folder,
                   const QString& filter) override {
    events.push_back("openFile|" + title.toStdString() + "|" + folder.toStdString() + "|" +
                     filter.toStdString());
    return files.empty() ? QString() : files.takeFirst();
  }

 private:
  void shown(std::string event) {
    events.push_back(std::move(event));
    if (whileShown) whileShown();
  }
};

// A program folder, and a source beside it.
struct ProgramFolder {
  ProgramFolder() { std::filesystem::create_directories(app); }
  // The catalogue database of the program, with one rule described.
  void catalogue() { ruleCatalogue(app / "ValidacionesKOLT.db"); }

  TempDir dir;
  std::filesystem::path app = dir / "programa", source = dir / "origen.db";
};

// Shows `window` and waits until it is on the screen, and when `active` until it is the active
// window, so that focus moves can be seen (on a bare X server no window manager makes it active).
inline bool show(QWidget& window, bool active = true) {
  window.show();
  if (!active) return QTest::qWaitForWindowExposed(&window);
  QApplication::setActiveWindow(&window);
  return QTest::qWaitForWindowActive(&window);
}

// The names of the workbooks in `folder`.
inline std::set<std::string> workbooks(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".xls") names.insert(platform::utf8(entry.path().filename()));
  return names;
}

// What the work dialog shows. Armed before the dialog opens, the watch runs first in the
// dialog's own loop, before any progress it shows, and then notes its two lines at every move of
// the bar, and hands them to `onMove` with the dialog, as the user would act on what it says.
class ProgressWatch {
 public:
  explicit ProgressWatch(std::function<void(QWidget*, const std::string&)> onMove = {}) {
    QTimer::singleShot(0, [this, onMove] {
      auto* dialog = QApplication::activeModalWidget();
      if (dialog == nullptr || dialog->objectName() != "dlgProgreso") return;
      busy = QApplication::overrideCursor() != nullptr &&
             QApplication::overrideCursor()->shape() == Qt::WaitCursor;
      QObject::connect(
          dialog->findChild<QProgressBar*>("barProgreso"), &QProgressBar::valueChanged,
          [this, dialog, onMove] {
            seen.push_back(dialog->findChild<QLabel*>("lblPaso")->text().toStdString() + " / " +
                           dialog->findChild<QLabel*>("lblDetalle")->text().toStdString());
            if (onMove) onMove(dialog, seen.back());
          });
    });
  }
  ProgressWatch(const ProgressWatch&) = delete;
  ProgressWatch& operator=(const ProgressWatch&) = delete;

  bool busy = false;  // the dialog showed, and the busy pointer was on
  std::vector<std::string> seen;
};

}  // namespace kolt::test
