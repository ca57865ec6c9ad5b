// The run's progress in the work dialog: which unit, of how many, and which rule it is on.
#pragma once

#include <QString>

#include "forms/work_dialog.h"
#include "run/driver.h"

namespace kolt::forms {

// Called from the run's threads, one call at a time; every call only posts to the dialog.
class RunProgress : public run::RunObserver {
 public:
  explicit RunProgress(WorkDialog& dialog, int units) : dialog_(dialog), count_(units) {}
  void ruleStarted(const std::string& unit, const rules::RuleProgress& progress) override;
  void unitFinished(int done, int count, const std::string& unit) override;

  static QString unitsLine(int done, int count);
  static QString ruleLine(const std::string& unit, const rules::RuleProgress& progress);

 private:
  static constexpr int kStepsPerUnit = 1000;
  // The bar never goes back, though the units side by side report rules at different places.
  void show(const QString& detail, int value);

  WorkDialog& dialog_;
  int done_ = 0;
  int count_;
  int value_ = 0;
};

}  // namespace kolt::forms
