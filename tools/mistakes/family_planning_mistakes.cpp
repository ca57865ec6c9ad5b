// Errors that rules 27 to 41 find: family-planning diagnoses, procedures and methods that disagree,
// stays too long for their diagnosis, diagnoses that contradict the outcome.
//
// The family-planning errors are made on patients the codes fit (a woman of 15 to 54 for the
// female codes, an adult man for the male ones, a delivery recorded with no method), so that each
// breaks the cross-check it is meant for rather than a sex or age limit.
#include "mistakes.h"

namespace kolt::tools {
namespace {

std::int64_t age(const Discharge& d) {
  const auto it = d.egreso.find("edad");
  const std::int64_t* years =
      it == d.egreso.end() ? nullptr : std::get_if<std::int64_t>(&it->second);
  return years ? *years : -1;
}

// A woman of 15 to 54 years without an obstetric event.
bool womanOfFertileAge(const Discharge& d) {
  return d.text("sexo") == "2" && d.text("cveedad") == "3" && age(d) >= 15 && age(d) <= 54 &&
         d.obstet.empty();
}

bool adultMan(const Discharge& d) {
  return d.text("sexo") == "1" && d.text("cveedad") == "3" && age(d) >= 18 && d.obstet.empty();
}

// The obstetric event of a delivery recorded with no family-planning method ('5'); null if none.
Row* deliveryWithoutMethod(Discharge& d) {
  if (d.obstet.size() != 1) return nullptr;
  Row& event = d.obstet.front();
  const std::string* planfam = std::get_if<std::string>(&event["planfam"]);
  const std::string* tipaten = std::get_if<std::string>(&event["tipaten"]);
  if (planfam == nullptr || *planfam != "5" || tipaten == nullptr || *tipaten != "2")
    return nullptr;
  return &event;
}

bool addCondition(Discharge& d, const char* afec) {
  d.afecciones.push_back(d.keyed({{"afec", afec}}));
  return true;
}

bool addProcedure(Discharge& d, const char* promed) {
  d.procedimientos.push_back(d.keyed({{"promed", promed}}));
  return true;
}

}  // namespace

const std::vector<Mistake>& familyPlanningMistakes() {
  // clang-format off
  static const std::vector<Mistake> kinds = {
      // Diagnosis without its procedure, procedure without its diagnosis, method without either,
      // and diagnosis and procedure agreeing with each other but not with the method.
      {27, [](Discharge& d, Random&) { return womanOfFertileAge(d) && addCondition(d, "Z301"); }},
      {28, [](Discharge& d, Random&) { return womanOfFertileAge(d) && addProcedure(d, "697X"); }},
      {29, [](Discharge& d, Random&) {
         Row* event = deliveryWithoutMethod(d);
         if (event == nullptr) return false;
         (*event)["planfam"] = "1";
         return true;
       }},
      {30, [](Discharge& d, Random&) {
         return deliveryWithoutMethod(d) != nullptr && addCondition(d, "Z301") && addProcedure(d, "697x");
       }},
      {31, [](Discharge& d, Random&) { return womanOfFertileAge(d) && addCondition(d, "Z302"); }},
      {32, [](Discharge& d, Random&) { return womanOfFertileAge(d) && addProcedure(d, "6632"); }},
      {33, [](Discharge& d, Random&) {
         Row* event = deliveryWithoutMethod(d);
         if (event == nullptr) return false;
         (*event)["planfam"] = "3";
         return true;
       }},
      {34, [](Discharge& d, Random&) {
         return deliveryWithoutMethod(d) != nullptr && addCondition(d, "Z302") && addProcedure(d, "6639");
       }},
      {35, [](Discharge& d, Random&) { return adultMan(d) && addCondition(d, "Z302"); }},
      {36, [](Discharge& d, Random&) { return adultMan(d) && addProcedure(d, "6373"); }},

      // A delivery kept eight days; any stay of 75 days outside chapter F.
      {37, [](Discharge& d, Random&) {
         if (!d.text("afecprin").starts_with("O8")) return false;
         d.egreso["dias_esta"] = std::int64_t{8};
         return true;
       }},
      {38, [](Discharge& d, Random&) {
         if (d.text("afecprin").empty() || d.text("afecprin").starts_with("F")) return false;
         d.egreso["dias_esta"] = std::int64_t{75};
         return true;
       }},
      // An obstetric death code on a woman who went home; a fetal death code on a newborn; an
      // injury as the principal diagnosis of a death from a natural cause.
      {39, [](Discharge& d, Random&) { return womanOfFertileAge(d) && d.text("motegre") != "5" && addCondition(d, "O95X"); }},
      {40, [](Discharge& d, Random&) { return d.text("cveedad") == "1" && addCondition(d, "P95X"); }},
      {41, [](Discharge& d, Random&) {
         if (d.defunc.empty() || d.text("motegre") != "5") return false;
         d.egreso["afecprin"] = "S720";
         return true;
       }},
  };
  // clang-format on
  return kinds;
}

}  // namespace kolt::tools
