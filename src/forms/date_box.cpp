#include "forms/date_box.h"

#include <QMouseEvent>

namespace kolt::forms {

DateBox::DateBox(QWidget* parent) : QLineEdit(parent) {
  // "0": a digit may go there, none is required; the display shows "_" where none was typed.
  setInputMask("00/00/0000;_");
  setMaxLength(10);
}

bool DateBox::empty() const {
  return displayText() == "__/__/____";
}

void DateBox::mousePressEvent(QMouseEvent* event) {
  QLineEdit::mousePressEvent(event);
  if (empty()) setCursorPosition(0);
}

void DateBox::mouseReleaseEvent(QMouseEvent* event) {
  QLineEdit::mouseReleaseEvent(event);
  if (empty()) setCursorPosition(0);
}

std::string DateBox::boxText() const {
  return displayText().toStdString();
}

}  // namespace kolt::forms
