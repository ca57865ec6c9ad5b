// The run's progress in the work dialog: which unit, of how many, and which rule it is on.
#pragma once

#include <QString>

#include "forms/work_dialog.h"
#include "run/driver.h"

namespace kolt::forms {

// Called from the run's thread; every call only posts to the dialog.
class RunProgress : public run::RunObserver {
 public:
  explicit RunProgress(WorkDialog& dialog) : dialog_(dialog) {}
  void unitStarted(int position, int count, const std::string& unit) override;
  void ruleStarted(const rules::RuleProgress& progress) override;

  static QString unitLine(int position, int count, const std::string& unit);
  static QString ruleLine(const rules::RuleProgress& progress);

 private:
  static constexpr int kStepsPerUnit = 1000;
  WorkDialog& dialog_;
  QString unitLine_;
  int position_ = 0;
  int count_ = 0;
};

}  // namespace kolt::forms
