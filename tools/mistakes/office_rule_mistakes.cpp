// Errors that the example rules of the office find (docs/examples/ReglasAdicionales.toml, rules
// 114 to 116), so that the demonstration shows them among the findings. An age over 110 years
// needs none of its own: rule 1's error of 131 years is one.
#include "mistakes.h"

namespace kolt::tools {

const std::vector<Mistake>& officeRuleMistakes() {
  // clang-format off
  static const std::vector<Mistake> kinds = {
      // A file number with letters, as some units still write it.
      {114, [](Discharge& d, Random& random) { d.egreso["expediente"] = "EXP" + digits(static_cast<std::uint64_t>(random.below(999999)), 6); return true; }},
      // The principal condition written again among the further ones: an adult's ordinary stay,
      // whose code every other rule accepts there.
      {116, [](Discharge& d, Random&) {
         if (d.text("cveedad") != "3" || !d.obstet.empty() || !d.defunc.empty() || d.text("afecprin").empty()) return false;
         d.afecciones.push_back(d.keyed({{"afec", d.text("afecprin")}}));
         return true; }},
  };
  // clang-format on
  return kinds;
}

}  // namespace kolt::tools
