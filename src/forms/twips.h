// The windows' sizes are given in twips; they are laid out here from those numbers. A pixel is 15
// twips at 96 dots per inch; on a screen whose fonts are set larger every size grows with them, so
// the captions keep fitting their controls (Qt already scales pixels on high-DPI screens).
#pragma once

#include <QRect>

class QWidget;

namespace kolt::forms {

class Twips {
 public:
  explicit Twips(double scale = 1.0) : scale_(scale < 1.0 ? 1.0 : scale) {}
  // The scale of the screen `widget` will show on.
  static Twips forWidget(const QWidget& widget);

  int operator()(int twips) const;
  QRect rect(int left, int top, int width, int height) const;
  double scale() const { return scale_; }

 private:
  double scale_;
};

}  // namespace kolt::forms
