// Errors that rules 85 to 113 find: obstetric events, products, delivery types, notifiable
// diagnoses and death certificates.
#include "mistakes.h"

namespace kolt::tools {
namespace {

using S = std::string;

const base::Value kNullValue{};

// The discharge's obstetric event when its tipaten is `tipaten`; null otherwise.
Row* eventOf(Discharge& d, const char* tipaten) {
  if (d.obstet.empty()) return nullptr;
  Row& event = d.obstet.front();
  return event["tipaten"] == base::Value(S(tipaten)) ? &event : nullptr;
}

// A delivery by caesarean section is the one with a procedure of group 74.
bool caesarean(const Discharge& d) {
  for (const Row& p : d.procedimientos)
    if (std::get<S>(p.at("promed")).starts_with("74")) return true;
  return false;
}

// A vaginal delivery (diagnosis O80, no caesarean procedure), or null.
Row* vaginal(Discharge& d) {
  Row* event = eventOf(d, "2");
  return event != nullptr && !caesarean(d) ? event : nullptr;
}

void addProcedure(Discharge& d, const char* code) {
  Row p = d.keyed({});
  p["promed"] = S(code);
  d.procedimientos.push_back(p);
}

void addCondition(Discharge& d, const char* code) {
  Row a = d.keyed({});
  a["afec"] = S(code);
  d.afecciones.push_back(a);
}

}  // namespace

const std::vector<Mistake>& obstetricMistakes() {
  // clang-format off
  static const std::vector<Mistake> kinds = {
      {85, [](Discharge& d, Random&) { Row* e = eventOf(d, "1"); if (e) (*e)["tipaten"] = "2"; return e != nullptr; }},
      {86, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (e) (*e)["tipaten"] = "1"; return e != nullptr; }},
      {87, [](Discharge& d, Random&) { if (d.obstet.empty()) return false; d.obstet[0]["hayprod"] = kNullValue; return true; }},
      {88, [](Discharge& d, Random&) { if (d.obstet.empty()) return false; d.obstet[0]["hayprod"] = std::int64_t{2}; return true; }},
      {89, [](Discharge& d, Random&) { if (d.obstet.empty()) return false; d.obstet[0]["tipaten"] = ""; return true; }},
      {90, [](Discharge& d, Random&) { if (d.obstet.empty()) return false; d.obstet[0]["tipaten"] = "3"; return true; }},
      {91, [](Discharge& d, Random&) { Row* e = eventOf(d, "1"); if (e) (*e)["tipnaci"] = "1"; return e != nullptr; }},
      {92, [](Discharge& d, Random&) { if (!eventOf(d, "1") || d.productos.empty()) return false; d.productos[0]["pesoprod"] = "0700"; return true; }},
      {93, [](Discharge& d, Random&) { Row* e = eventOf(d, "1"); if (e) (*e)["producto"] = "2"; return e != nullptr; }},
      {94, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (e) (*e)["tipnaci"] = "4"; return e != nullptr; }},
      {95, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (e) (*e)["gestac"] = "50"; return e != nullptr; }},
      // Twins recorded as a single birth.
      {96, [](Discharge& d, Random&) {
         if (!eventOf(d, "2") || d.productos.empty()) return false;
         Row twin = d.productos[0];
         twin["numproducto"] = "2";
         d.productos.push_back(twin);
         return true;
       }},
      {97, [](Discharge& d, Random&) { if (d.productos.empty()) return false; d.productos[0]["sexprod"] = "4"; return true; }},
      {98, [](Discharge& d, Random&) { if (d.productos.empty()) return false; d.productos[0]["condnac"] = "1"; d.productos[0]["naviapag"] = "8"; return true; }},
      {99, [](Discharge& d, Random&) {
         if (d.productos.empty()) return false;
         Row& p = d.productos[0];
         p["condnac"] = "2";
         p["navirean"] = "1";
         p["navicune"] = "1";
         p["condegre"] = "1";
         p.erase("naviapag");
         return true;
       }},
      {100, [](Discharge& d, Random&) { Row* e = vaginal(d); if (e) (*e)["tipnaci"] = "2"; return e != nullptr; }},
      {101, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (!e || !caesarean(d)) return false; (*e)["tipnaci"] = "1"; return true; }},
      {102, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (!e || !caesarean(d)) return false; (*e)["tipnaci"] = kNullValue; return true; }},
      {103, [](Discharge& d, Random&) {
         if (!eventOf(d, "2") || !caesarean(d)) return false;
         std::erase_if(d.procedimientos, [](const Row& p) { return std::get<S>(p.at("promed")).starts_with("74"); });
         return true;
       }},
      {104, [](Discharge& d, Random&) { Row* e = vaginal(d); if (e) addProcedure(d, "7499"); return e != nullptr; }},
      {105, [](Discharge& d, Random&) { if (!eventOf(d, "2") || !caesarean(d)) return false; d.egreso["afecprin"] = "O821"; return true; }},
      // A caesarean procedure on a discharge without an obstetric event.
      {106, [](Discharge& d, Random&) { if (!d.obstet.empty() || d.text("sexo") != "2") return false; addProcedure(d, "7410"); return true; }},
      {107, [](Discharge& d, Random&) { if (!d.obstet.empty() || d.text("cveedad") != "3") return false; d.egreso["afecprin"] = "A010"; return true; }},
      {108, [](Discharge& d, Random&) { if (d.defunc.empty()) return false; d.defunc[0]["causabas"] = "A010"; return true; }},
      // Method 6 with only one of its two traces.
      {109, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (!e || (*e)["planfam"] == base::Value(S("6"))) return false; (*e)["planfam"] = "6"; addProcedure(d, "9923"); return true; }},
      {110, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (!e || (*e)["planfam"] == base::Value(S("6"))) return false; (*e)["planfam"] = "6"; addCondition(d, "Z308"); return true; }},
      {111, [](Discharge& d, Random&) { Row* e = eventOf(d, "2"); if (!e || (*e)["planfam"] == base::Value(S("6"))) return false; addCondition(d, "Z308"); return true; }},
      // One death entered twice under the same certificate.
      {112, [](Discharge& d, Random&) { if (d.defunc.empty()) return false; d.defunc.push_back(d.defunc.front()); return true; }},
      // A certificate never issued (not in Folio).
      {113, [](Discharge& d, Random&) {
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
