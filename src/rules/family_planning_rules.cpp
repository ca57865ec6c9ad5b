// Rules 27 to 36: family-planning diagnoses, procedures and obstetric methods, checked against each
// other through the work tables of their three groups.
#include "rules/catalogue.h"

namespace kolt::rules {

// Not in the catalogue yet: the group runs no rules and its numbers stay free.
const std::vector<Rule>& familyPlanningRules() {
  static const std::vector<Rule> rules;
  return rules;
}

}  // namespace kolt::rules
