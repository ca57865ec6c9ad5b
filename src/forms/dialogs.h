// Everything the windows ask of the user through the platform's own dialogs: message boxes, the
// beep and the open-file dialog. The windows reach them only through this interface, so the tests
// can answer in their place and no test ever waits on a modal box.
#pragma once

#include <QString>

class QWidget;

namespace kolt::forms {

// The title of message boxes that carry none of their own.
inline constexpr const char* kTituloAplicacion = "Validaciones Kolt";

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // A message box with the information icon and an OK button; an empty title shows the
  // application's title.
  virtual void information(QWidget* parent, const QString& text, const QString& title = {}) = 0;
  // A message box with the error icon and an OK button, under the application's title: a failure
  // the user must act on (choose another file, free the disk) rather than a notice.
  virtual void failure(QWidget* parent, const QString& text) = 0;
  // A message box with an OK button and no icon, under the application's title.
  virtual void plain(QWidget* parent, const QString& text) = 0;
  virtual void beep() = 0;
  // The open-file dialog; the chosen file's full path, or an empty text when the user cancelled.
  // `filter` is in the form "Description (*.ext)".
  virtual QString openFile(QWidget* parent, const QString& title, const QString& folder,
                           const QString& filter) = 0;
};

}  // namespace kolt::forms
