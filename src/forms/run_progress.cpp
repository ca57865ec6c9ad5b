#include "forms/run_progress.h"

#include <algorithm>

namespace kolt::forms {

QString RunProgress::unitsLine(int done, int count) {
  return QString("Unidades validadas: %1 de %2").arg(done).arg(count);
}

QString RunProgress::ruleLine(const std::string& unit, const rules::RuleProgress& progress) {
  return QString("%1: regla %2 de %3 (Validacion%4)")
      .arg(QString::fromStdString(unit))
      .arg(progress.position)
      .arg(progress.total)
      .arg(progress.rule);
}

void RunProgress::show(const QString& detail, int value) {
  value_ = std::max(value_, value);
  dialog_.report(unitsLine(done_, count_), detail, value_, count_ * kStepsPerUnit);
}

void RunProgress::ruleStarted(const std::string& unit, const rules::RuleProgress& progress) {
  // Short of a whole unit: only its end completes it.
  const int within = progress.position * kStepsPerUnit / (progress.total + 1);
  show(ruleLine(unit, progress), done_ * kStepsPerUnit + within);
}

void RunProgress::unitFinished(int done, int count, const std::string& unit) {
  done_ = done;
  count_ = count;
  show(QString::fromStdString(unit), done * kStepsPerUnit);
}

}  // namespace kolt::forms
