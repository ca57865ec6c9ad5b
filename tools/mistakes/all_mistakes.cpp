#include "mistakes.h"

namespace kolt::tools {

std::vector<Mistake> allMistakes() {
  std::vector<Mistake> all;
  for (const std::vector<Mistake>* group :
       {&dischargeFieldMistakes(), &familyPlanningMistakes(), &codeMistakes(), &obstetricMistakes(),
        &officeRuleMistakes()})
    all.insert(all.end(), group->begin(), group->end());
  return all;
}

}  // namespace kolt::tools
