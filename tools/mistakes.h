// Deliberate errors for the synthetic discharge databases: each kind breaks one rule, so that a
// validation of generated data shows every rule finding something, and clean data shows none.
//
// The kinds are data, one group of rules to a file in mistakes/, beside the rules they break.
#pragma once

#include <vector>

#include "synthetic_discharge.h"

namespace kolt::tools {

struct Mistake {
  int rule;  // the rule that must list the discharge it was made on
  // Turns a clean discharge into one the rule lists. Returns false, leaving the discharge as it
  // was, when the discharge is not of the kind the error needs (a delivery, a death, a man...): the
  // generator then makes it on the next discharge that fits.
  bool (*apply)(Discharge& d, Random& random);
};

const std::vector<Mistake>& dischargeFieldMistakes();  // rules 1 to 26
const std::vector<Mistake>& familyPlanningMistakes();  // rules 27 to 41
const std::vector<Mistake>& codeMistakes();            // rules 42 to 84
const std::vector<Mistake>& obstetricMistakes();       // rules 85 to 113
const std::vector<Mistake>& officeRuleMistakes();      // the office's example rules, 114 to 116

// Every kind, group after group.
std::vector<Mistake> allMistakes();

}  // namespace kolt::tools
