// Errors that rules 42 to 84 find: diagnosis and procedure codes against their catalogues.
//
// The codes are rows of the demo catalogue with the flag, limit or absence each rule looks for:
// W019 not a principal condition, K319 given up, B03X eradicated, A229 in the fixed list of rules
// 47, 61, 70 and 78, C539 and C61X for one sex only, P220 for newborns, R509 not a basic cause of
// death, J999 not catalogued; procedure 6639 for women, 6029 for men, 9983 for newborns and 5123
// from five years on.
#include "mistakes.h"

namespace kolt::tools {
namespace {

// A code the catalogue admits only in the other sex.
const char* otherSexCode(const Discharge& d) {
  return d.text("sexo") == "1" ? "C539" : "C61X";
}

// An age in years, above the range of a newborn's code (P220, up to 28 days) and of a newborn's
// procedure (9983).
bool adultAged(const Discharge& d) {
  return d.text("cveedad") == "3";
}

bool withDeath(Discharge& d, const char* causabas) {
  if (d.defunc.empty()) return false;
  d.defunc.front()["causabas"] = causabas;
  return true;
}

void addCondition(Discharge& d, const char* afec) {
  d.afecciones.push_back(d.keyed({{"afec", afec}}));
}

void addProcedure(Discharge& d, const char* promed) {
  d.procedimientos.push_back(d.keyed({{"promed", promed}}));
}

}  // namespace

const std::vector<Mistake>& codeMistakes() {
  // clang-format off
  static const std::vector<Mistake> kinds = {
      {42, [](Discharge& d, Random&) { d.egreso["afecprin"] = "W019"; return true; }},
      {43, [](Discharge& d, Random&) { d.egreso["afecprin"] = "J18"; return true; }},
      {44, [](Discharge& d, Random&) { d.egreso["afecprin"] = "K319"; return true; }},
      {45, [](Discharge& d, Random&) { d.egreso["afecprin"] = "J999"; return true; }},
      {46, [](Discharge& d, Random&) { d.egreso["afecprin"] = "B03X"; return true; }},
      {47, [](Discharge& d, Random&) { d.egreso["afecprin"] = "A229"; return true; }},
      {48, [](Discharge& d, Random&) { d.egreso["afecprin"] = otherSexCode(d); return true; }},
      {49, [](Discharge& d, Random&) { if (!adultAged(d)) return false; d.egreso["afecprin"] = "P220"; return true; }},
      {50, [](Discharge& d, Random&) { d.egreso["causaext"] = "J189"; return true; }},
      {51, [](Discharge& d, Random&) { d.egreso["causaext"] = "W01"; return true; }},
      {52, [](Discharge& d, Random&) { d.egreso["causaext"] = "K319"; return true; }},
      {53, [](Discharge& d, Random&) { d.egreso["causaext"] = "W999"; return true; }},
      {54, [](Discharge& d, Random&) { d.egreso["causaext"] = otherSexCode(d); return true; }},
      {55, [](Discharge& d, Random&) { if (!adultAged(d)) return false; d.egreso["causaext"] = "P220"; return true; }},
      {56, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "W019"; return true; }},
      {57, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "J18"; return true; }},
      {58, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "K319"; return true; }},
      {59, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "J999"; return true; }},
      {60, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "B03X"; return true; }},
      {61, [](Discharge& d, Random&) { d.egreso["diag_ini"] = "A229"; return true; }},
      {62, [](Discharge& d, Random&) { d.egreso["diag_ini"] = otherSexCode(d); return true; }},
      {63, [](Discharge& d, Random&) { if (!adultAged(d)) return false; d.egreso["diag_ini"] = "P220"; return true; }},
      {64, [](Discharge& d, Random&) { return withDeath(d, "S720"); }},
      {65, [](Discharge& d, Random&) { return withDeath(d, "I21"); }},
      {66, [](Discharge& d, Random&) { return withDeath(d, "K319"); }},
      {67, [](Discharge& d, Random&) { return withDeath(d, "J999"); }},
      {68, [](Discharge& d, Random&) { return withDeath(d, "R509"); }},
      {69, [](Discharge& d, Random&) { return withDeath(d, "B03X"); }},
      {70, [](Discharge& d, Random&) { return withDeath(d, "A229"); }},
      {71, [](Discharge& d, Random&) { return withDeath(d, otherSexCode(d)); }},
      {72, [](Discharge& d, Random&) { return adultAged(d) && withDeath(d, "P220"); }},
      {73, [](Discharge& d, Random&) { addCondition(d, "W019"); return true; }},
      {74, [](Discharge& d, Random&) { addCondition(d, "E11"); return true; }},
      {75, [](Discharge& d, Random&) { addCondition(d, "K319"); return true; }},
      {76, [](Discharge& d, Random&) { addCondition(d, "J999"); return true; }},
      {77, [](Discharge& d, Random&) { addCondition(d, "B03X"); return true; }},
      {78, [](Discharge& d, Random&) { addCondition(d, "A229"); return true; }},
      {79, [](Discharge& d, Random&) { addCondition(d, otherSexCode(d)); return true; }},
      {80, [](Discharge& d, Random&) { if (!adultAged(d)) return false; addCondition(d, "P220"); return true; }},
      {81, [](Discharge& d, Random&) { addProcedure(d, "470"); return true; }},
      {82, [](Discharge& d, Random&) { addProcedure(d, "0000"); return true; }},
      {83, [](Discharge& d, Random&) { addProcedure(d, d.text("sexo") == "1" ? "6639" : "6029"); return true; }},
      {84, [](Discharge& d, Random&) { addProcedure(d, adultAged(d) ? "9983" : "5123"); return true; }},
  };
  // clang-format on
  return kinds;
}

}  // namespace kolt::tools
