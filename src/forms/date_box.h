// A date box: digits only in the eight places of "##/##/####", "_" where nothing has been typed.
// Its text is what the box shows, prompts included, so an empty box reads "__/__/____" and a
// half-typed one "12/__/____"; that text is what the input checks and the run read.
#pragma once

#include <QLineEdit>
#include <string>

namespace kolt::forms {

class DateBox : public QLineEdit {
 public:
  explicit DateBox(QWidget* parent = nullptr);
  std::string boxText() const;

 protected:
  // A click into an empty box puts the cursor at its first place, wherever it landed: typing a
  // whole date then fills the box from the start instead of from the middle.
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  bool empty() const;
};

}  // namespace kolt::forms
