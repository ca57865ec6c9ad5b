#include "forms/qt_dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace kolt::forms {
namespace {

void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                 const QString& title) {
  QMessageBox box(icon, title.isEmpty() ? QString(kTituloAplicacion) : title, text, QMessageBox::Ok,
                  parent);
  box.exec();
}

}  // namespace

void QtDialogs::information(QWidget* parent, const QString& text, const QString& title) {
  showMessage(parent, QMessageBox::Information, text, title);
}

void QtDialogs::failure(QWidget* parent, const QString& text) {
  showMessage(parent, QMessageBox::Critical, text, {});
}

void QtDialogs::plain(QWidget* parent, const QString& text) {
  showMessage(parent, QMessageBox::NoIcon, text, {});
}

void QtDialogs::beep() {
  QApplication::beep();
}

QString QtDialogs::openFile(QWidget* parent, const QString& title, const QString& folder,
                            const QString& filter) {
  return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

}  // namespace kolt::forms
