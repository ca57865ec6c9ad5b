#include "forms/work_dialog.h"

#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>
#include <thread>

#include "forms/dialogs.h"

namespace kolt::forms {

WorkDialog::WorkDialog(QWidget* parent, const QString& firstLine)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      lblPaso_(new QLabel(firstLine, this)),
      lblDetalle_(new QLabel(this)),
      barProgreso_(new QProgressBar(this)) {
  setObjectName("dlgProgreso");
  setWindowTitle(kTituloAplicacion);
  setWindowModality(Qt::ApplicationModal);
  lblPaso_->setObjectName("lblPaso");
  lblDetalle_->setObjectName("lblDetalle");
  barProgreso_->setObjectName("barProgreso");
  barProgreso_->setRange(0, 0);
  barProgreso_->setTextVisible(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(lblPaso_);
  layout->addWidget(lblDetalle_);
  layout->addWidget(barProgreso_);
  setMinimumWidth(360);
}

void WorkDialog::run(const std::function<void()>& work) {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued: it runs in the dialog's own loop, which may not have started yet.
    QMetaObject::invokeMethod(
        this,
        [this] {
          finished_ = true;
          accept();
        },
        Qt::QueuedConnection);
  });
  exec();
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

void WorkDialog::report(const QString& firstLine, const QString& secondLine, int value,
                        int maximum) {
  QMetaObject::invokeMethod(
      this,
      [=, this] {
        lblPaso_->setText(firstLine);
        // Once cancelled, the detail keeps saying so.
        if (cmdCancelar_ == nullptr || cmdCancelar_->isEnabled()) lblDetalle_->setText(secondLine);
        barProgreso_->setRange(0, maximum);
        barProgreso_->setValue(value);
      },
      Qt::QueuedConnection);
}

void WorkDialog::offerCancel(std::function<void()> cancel) {
  cancel_ = std::move(cancel);
  cmdCancelar_ = new QPushButton("Cancelar", this);
  cmdCancelar_->setObjectName("cmdCancelar");
  layout()->addWidget(cmdCancelar_);
  connect(cmdCancelar_, &QPushButton::clicked, this, [this] {
    if (!cancel_) return;
    std::exchange(cancel_, nullptr)();
    cmdCancelar_->setEnabled(false);
    lblDetalle_->setText(QString::fromUtf8("Cancelando: se termina la validación en curso…"));
  });
}

void WorkDialog::reject() {
  if (finished_)
    QDialog::reject();
  else if (cmdCancelar_ != nullptr && cmdCancelar_->isEnabled())
    cmdCancelar_->click();
}

void WorkDialog::closeEvent(QCloseEvent* event) {
  if (finished_)
    QDialog::closeEvent(event);
  else
    event->ignore();
}

}  // namespace kolt::forms
