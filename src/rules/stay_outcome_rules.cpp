// Rules 37 to 41: length of stay and outcome against the diagnoses.
#include "rules/catalogue.h"

namespace kolt::rules {

// Not in the catalogue yet: the group runs no rules and its numbers stay free.
const std::vector<Rule>& stayOutcomeRules() {
  static const std::vector<Rule> rules;
  return rules;
}

}  // namespace kolt::rules
