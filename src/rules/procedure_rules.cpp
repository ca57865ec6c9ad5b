// Rules 81 to 84: procedure codes against CATCIE9MC.
#include "rules/catalogue.h"

namespace kolt::rules {

// Not in the catalogue yet: the group runs no rules and its numbers stay free.
const std::vector<Rule>& procedureRules() {
  static const std::vector<Rule> rules;
  return rules;
}

}  // namespace kolt::rules
