// The platform's dialogs behind the Dialogs interface, as the program shows them to its users.
#pragma once

#include "forms/dialogs.h"

namespace kolt::forms {

class QtDialogs : public Dialogs {
 public:
  void information(QWidget* parent, const QString& text, const QString& title = {}) override;
  void failure(QWidget* parent, const QString& text) override;
  void plain(QWidget* parent, const QString& text) override;
  void beep() override;
  QString openFile(QWidget* parent, const QString& title, const QString& folder,
                   const QString& filter) override;
};

}  // namespace kolt::forms
