// Rules 85 to 113: obstetric events, births, notifications and death certificates.
#include "rules/catalogue.h"

namespace kolt::rules {

// Not in the catalogue yet: the group runs no rules and its numbers stay free.
const std::vector<Rule>& obstetricRules() {
  static const std::vector<Rule> rules;
  return rules;
}

}  // namespace kolt::rules
