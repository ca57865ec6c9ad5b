#include "forms/busy_pointer.h"

#include <QApplication>

namespace kolt::forms {

BusyPointer::BusyPointer() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer() {
  release();
}

void BusyPointer::release() {
  if (!active_) return;
  active_ = false;
  QApplication::restoreOverrideCursor();
}

}  // namespace kolt::forms
