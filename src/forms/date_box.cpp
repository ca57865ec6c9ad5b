#include "forms/date_box.h"

namespace kolt::forms {

DateBox::DateBox(QWidget* parent) : QLineEdit(parent) {
  // "0": a digit may go there, none is required; the display shows "_" where none was typed.
  setInputMask("00/00/0000;_");
  setMaxLength(10);
}

std::string DateBox::boxText() const {
  return displayText().toStdString();
}

}  // namespace kolt::forms
