// Long work made visible: the work runs beside the window thread while this modal dialog says what
// it is doing. The windows keep repainting, and the user can start nothing else until the work has
// ended, exactly as when the work held the window thread itself; the work is still one step after
// another.
#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QProgressBar;

namespace kolt::forms {

class WorkDialog : public QDialog {
 public:
  WorkDialog(QWidget* parent, const QString& firstLine);

  // Runs `work` on a thread of its own and returns when it has ended, showing the dialog
  // meanwhile; rethrows whatever `work` threw. The dialog closes itself.
  void run(const std::function<void()>& work);

  // What the dialog shows; callable from the work's thread. A maximum of 0 shows a bar that only
  // says something is happening.
  void report(const QString& firstLine, const QString& secondLine, int value, int maximum);

  // Shows a "Cancelar" button (Escape does the same): pressed, it calls `cancel` once, on the
  // window thread, and says the work is stopping. The work ends when it sees the request; the
  // dialog still closes only then.
  void offerCancel(std::function<void()> cancel);

 protected:
  // Neither Escape nor the window's close button may leave the work unseen.
  void reject() override;
  void closeEvent(QCloseEvent* event) override;

 private:
  QLabel* lblPaso_;
  QLabel* lblDetalle_;
  QProgressBar* barProgreso_;
  class QPushButton* cmdCancelar_ = nullptr;
  std::function<void()> cancel_;
  bool finished_ = false;
};

}  // namespace kolt::forms
