#include "forms/picture_button.h"

#include <QKeyEvent>

namespace kolt::forms {

PictureButton::PictureButton(const QString& caption, const QIcon& picture, QWidget* parent)
    : QToolButton(parent) {
  setText(caption);
  setIcon(picture);
  setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  setFocusPolicy(Qt::StrongFocus);
}

void PictureButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    click();
    return;
  }
  QToolButton::keyPressEvent(event);
}

}  // namespace kolt::forms
