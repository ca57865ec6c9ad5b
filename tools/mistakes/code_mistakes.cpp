// Errors that rules 42 to 84 find: diagnosis and procedure codes against their catalogues.
#include "mistakes.h"

namespace kolt::tools {

const std::vector<Mistake>& codeMistakes() {
  // Until these rules are in the catalogue their errors carry no rule number: the generator still
  // makes them, and no test expects a rule to list them.
  // clang-format off
  static const std::vector<Mistake> kinds = {
      {0, [](Discharge& d, Random&) { d.egreso["afecprin"] = "ZZZZ"; return true; }},  // not in the catalogue
      {0, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "J18"; return true; }},    // too short
      {0, [](Discharge& d, Random&) { d.procedimientos.push_back(d.keyed({{"promed", "0000"}})); return true; }},  // unknown procedure
  };
  // clang-format on
  return kinds;
}

}  // namespace kolt::tools
