// Errors that rules 1 to 26 find: one field of the discharge against its codes, a catalogue or
// another field.
#include "mistakes.h"

namespace kolt::tools {

const std::vector<Mistake>& dischargeFieldMistakes() {
  using S = std::string;
  // clang-format off
  static const std::vector<Mistake> kinds = {
      {1, [](Discharge& d, Random&) { d.egreso["edad"] = std::int64_t{131}; d.egreso["cveedad"] = "3"; return true; }},
      {1, [](Discharge& d, Random&) { d.egreso["cveedad"] = "5"; return true; }},
      {2, [](Discharge& d, Random&) { d.egreso["nacioen"] = S(d.text("cveedad") == "3" ? "1" : "9"); return true; }},
      {3, [](Discharge& d, Random&) { d.egreso["sexo"] = "3"; return true; }},
      {4, [](Discharge& d, Random&) { d.egreso["derhab"] = "X"; return true; }},
      {5, [](Discharge& d, Random&) { d.egreso["derhab"] = "8"; d.egreso["spss"] = "9999999999"; d.egreso["spss_dv"] = "99"; return true; }},
      {6, [](Discharge& d, Random&) { d.egreso["loc"] = "9999"; return true; }},
      {7, [](Discharge& d, Random&) { d.egreso["expediente"] = "9999"; return true; }},
      {8, [](Discharge& d, Random&) { d.egreso["CURP"] = "GOML800101"; return true; }},
      {9, [](Discharge& d, Random&) { d.egreso["tipserv"] = "5"; return true; }},
      {10, [](Discharge& d, Random&) { d.egreso["tipserv"] = "2"; d.egreso["dias_esta"] = std::int64_t{3}; return true; }},
      {11, [](Discharge& d, Random&) { d.egreso["dias_esta"] = std::int64_t{-1}; return true; }},
      {12, [](Discharge& d, Random&) { d.egreso["servicioegre"] = "99"; return true; }},
      {13, [](Discharge& d, Random&) { d.egreso["cveedad"] = "3"; d.egreso["edad"] = std::int64_t{40}; d.egreso["servicioegre"] = "40"; return true; }},
      {14, [](Discharge& d, Random&) { d.egreso["sexo"] = "1"; d.egreso["servicio02"] = "30"; return true; }},
      {15, [](Discharge& d, Random&) { d.egreso["proced"] = "7"; return true; }},
      {16, [](Discharge& d, Random&) { d.egreso["proced"] = "3"; d.egreso["cluesproced"] = "DFSSA000000"; return true; }},
      {17, [](Discharge& d, Random&) { d.egreso["motegre"] = "8"; return true; }},
      {18, [](Discharge& d, Random&) { d.egreso["motegre"] = "4"; d.egreso["cluesreferido"] = "NOEXISTE001"; return true; }},
      {19, [](Discharge& d, Random&) { d.egreso["motegre"] = "5"; d.defunc.clear(); return true; }},
      {20, [](Discharge& d, Random&) { d.egreso["causaext"] = "W019"; d.egreso["traumat"] = "5"; d.egreso["lugar"] = "1"; return true; }},
      {21, [](Discharge& d, Random&) { d.egreso["causaext"] = "W019"; d.egreso["traumat"] = std::monostate{}; d.egreso["lugar"] = "1"; return true; }},
      {22, [](Discharge& d, Random&) { d.egreso["vez"] = "4"; return true; }},
      {23, [](Discharge& d, Random&) { d.egreso["infec"] = "4"; return true; }},
      {24, [](Discharge& d, Random&) { d.egreso["sexo"] = "1"; d.egreso["sa_labor"] = "3"; return true; }},
      {25, [](Discharge& d, Random&) { d.egreso["sexo"] = "1"; d.egreso["sa_expul"] = "2"; return true; }},
      {26, [](Discharge& d, Random&) {
         d.egreso["sexo"] = "1";
         if (d.obstet.empty()) d.obstet.push_back(d.keyed({{"hayprod", std::int64_t{2}}}));
         return true;
       }},
  };
  // clang-format on
  return kinds;
}

}  // namespace kolt::tools
