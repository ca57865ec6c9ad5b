#include "forms/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace kolt::forms {

namespace {
constexpr double kTwipsPerPixel = 15.0;
constexpr double kDesignDpi = 96.0;
}  // namespace

Twips Twips::forWidget(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return Twips(screen == nullptr ? 1.0 : screen->logicalDotsPerInchY() / kDesignDpi);
}

int Twips::operator()(int twips) const {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel * scale_));
}

QRect Twips::rect(int left, int top, int width, int height) const {
  return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
}

}  // namespace kolt::forms
