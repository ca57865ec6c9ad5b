// A command button with a small picture above its caption. Like the platform's buttons it takes
// the focus with the Tab key and is pressed with Enter as well as with the space bar.
#pragma once

#include <QToolButton>

namespace kolt::forms {

class PictureButton : public QToolButton {
 public:
  PictureButton(const QString& caption, const QIcon& picture, QWidget* parent);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

}  // namespace kolt::forms
