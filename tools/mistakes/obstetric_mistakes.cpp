// Errors that rules 85 to 113 find: obstetric events, products, delivery types, notifiable
// diagnoses and death certificates.
#include "mistakes.h"

namespace kolt::tools {

const std::vector<Mistake>& obstetricMistakes() {
  // clang-format off
  static const std::vector<Mistake> kinds = {
      // A certificate never issued (not in Folio).
      {0, [](Discharge& d, Random&) {
         d.egreso["motegre"] = "5";
         d.defunc.clear();
         Row death = d.keyed({});
         death["certif"] = "990000001";
         death["causabas"] = "I219";
         d.defunc.push_back(death);
         return true;
       }},
  };
  // clang-format on
  return kinds;
}

}  // namespace kolt::tools
