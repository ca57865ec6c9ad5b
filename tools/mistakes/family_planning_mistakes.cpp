// Errors that rules 27 to 41 find: family-planning diagnoses, procedures and methods that disagree,
// stays too long for their diagnosis, diagnoses that contradict the outcome.
#include "mistakes.h"

namespace kolt::tools {

const std::vector<Mistake>& familyPlanningMistakes() {
  static const std::vector<Mistake> kinds = {};
  return kinds;
}

}  // namespace kolt::tools
