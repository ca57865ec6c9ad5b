// The user's side of the message boxes and the file dialog, played by a test: every box is
// recorded in the order shown, and the file dialog answers from a queue (empty: cancel).
#pragma once

#include <QString>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "forms/dialogs.h"

namespace kolt::test {

class FakeDialogs : public forms::Dialogs {
 public:
  // "beep", "information|{title}|{text}", "failure|{text}", "plain|{text}",
  // "openFile|{title}|{folder}|{filter}".
  std::vector<std::string> events;
  std::deque<QString> files;
  // Runs while a message box is "open", as the user would look at the screen then.
  std::function<void()> whileShown;

  void information(QWidget*, const QString& text, const QString& title = {}) override {
    events.push_back("information|" + title.toStdString() + "|" + text.toStdString());
    if (whileShown) whileShown();
  }
  void failure(QWidget*, const QString& text) override {
    events.push_back("failure|" + text.toStdString());
    if (whileShown) whileShown();
  }
  void plain(QWidget*, const QString& text) override {
    events.push_back("plain|" + text.toStdString());
    if (whileShown) whileShown();
  }
  void beep() override { events.push_back("beep"); }
  QString openFile(QWidget*, const QString& title, const QString& folder,
                   const QString& filter) override {
    events.push_back("openFile|" + title.toStdString() + "|" + folder.toStdString() + "|" +
                     filter.toStdString());
    if (files.empty()) return {};
    QString file = files.front();
    files.pop_front();
    return file;
  }
};

}  // namespace kolt::test
