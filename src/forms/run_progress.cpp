#include "forms/run_progress.h"

namespace kolt::forms {

QString RunProgress::unitLine(int position, int count, const std::string& unit) {
  return QString("Validando la unidad %1 de %2: %3")
      .arg(position)
      .arg(count)
      .arg(QString::fromStdString(unit));
}

QString RunProgress::ruleLine(const rules::RuleProgress& progress) {
  return QString("Regla %1 de %2 (Validacion%3)")
      .arg(progress.position)
      .arg(progress.total)
      .arg(progress.rule);
}

void RunProgress::unitStarted(int position, int count, const std::string& unit) {
  position_ = position;
  count_ = count;
  unitLine_ = unitLine(position, count, unit);
  dialog_.report(unitLine_, "Copiando los egresos de la unidad", (position - 1) * kStepsPerUnit,
                 count * kStepsPerUnit);
}

void RunProgress::ruleStarted(const rules::RuleProgress& progress) {
  const int done = progress.total > 0 ? progress.position * kStepsPerUnit / progress.total : 0;
  dialog_.report(unitLine_, ruleLine(progress), (position_ - 1) * kStepsPerUnit + done,
                 count_ * kStepsPerUnit);
}

}  // namespace kolt::forms
