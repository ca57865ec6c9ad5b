// Rules 100 to 106 and 109 to 111: one discharge's diagnoses, procedures and obstetric record
// must tell the same story about how the child was born (groups O80 and O82, caesarean procedures
// of group 74, tipnaci) and about family-planning method 6 (diagnosis Z308, procedure 9923).
//
// Each block gathers its sets of discharges into work tables first and drops them after its last
// rule. tipnaci and planfam are compared untrimmed, and a NULL never fails a <> test, so a NULL
// tipnaci passes rules 100 and 101 and a NULL hayprod passes rule 106.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& deliveryTypeRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {100, "Validacion100",
       "Egreso con diagnóstico O80 (diag_ini, afecprin o afec) cuyo evento obstétrico con producto (hayprod 1) tiene un tipo de nacimiento (tipnaci) distinto de '1'.",
       {"select e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.tipnaci Into  Validacion100 from O80 as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.tipnaci<>'1' Group by e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.tipnaci "},
       {
        {"O80", {"select e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  O80 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE LEFT(e.diag_ini,3)='O80' OR LEFT(e.afecprin,3)='O80' OR LEFT(a.afec,3)='O80' Group by e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec "}},
        {"O82", {"select e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  O82 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE LEFT(e.diag_ini,3)='O82' OR LEFT(e.afecprin,3)='O82' OR LEFT(a.afec,3)='O82' Group by e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec "}},
        {"74", {"select e.folio,e.clues,e.egreso,p.promed Into  74 from egreso as e left join procedimientos as p on e.folio=p.folio and e.clues=p.clues and e.egreso=p.egreso WHERE LEFT(p.promed,2)='74' Group by e.folio,e.clues,e.egreso,p.promed "}},
        {"TN3", {"select e.folio,e.clues,e.egreso,o.tipnaci Into  TN3 from egreso as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.tipnaci='3' Group by e.folio,e.clues,e.egreso,o.tipnaci "}},
       }},
      {101, "Validacion101",
       "Egreso con diagnóstico O82 (diag_ini, afecprin o afec) cuyo evento obstétrico con producto (hayprod 1) tiene un tipo de nacimiento (tipnaci) distinto de '3'.",
       {"select e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.tipnaci Into  Validacion101 from O82 as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.tipnaci<>'3' Group by e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.tipnaci "}},
      {102, "Validacion102",
       "Egreso con un procedimiento del grupo 74 sin evento obstétrico o cuyo tipo de nacimiento (tipnaci) está vacío o es distinto de '3'; una fila por procedimiento.",
       {"select e.folio,e.clues,e.egreso,e.promed,o.tipnaci Into  Validacion102 from 74 as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.tipnaci is null or o.tipnaci<>'3' GROUP BY e.folio,e.clues,e.egreso,e.promed,o.tipnaci "}},
      {103, "Validacion103",
       "Evento obstétrico con producto (hayprod 1) y tipo de nacimiento (tipnaci) '3' cuyo egreso no tiene un procedimiento del grupo 74.",
       {"select e.folio,e.clues,e.egreso,e.tipnaci,o.promed Into  Validacion103 from TN3 as e left join 74 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.promed is null GROUP BY e.folio,e.clues,e.egreso,e.tipnaci,o.promed "}},
      {104, "Validacion104",
       "Egreso con diagnóstico O80 (diag_ini, afecprin o afec) y un procedimiento del grupo 74; una fila por afec y procedimiento.",
       {"select e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.promed Into  Validacion104 from O80 as e inner join 74 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso Group by e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.promed "}},
      {105, "Validacion105",
       "Egreso con afección principal (afecprin) O81, O82, O83 u O84 y un procedimiento del grupo 74; una fila por procedimiento.",
       {"select e.folio,e.clues,e.egreso,e.afecprin,o.promed Into  Validacion105 from egreso as e left join 74 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE LEFT(e.afecprin,3) IN ('O81','O82','O83','O84') AND o.folio IS NOT NULL  Group by e.folio,e.clues,e.egreso,e.afecprin,o.promed "}},
      {106, "Validacion106",
       "Egreso con un procedimiento del grupo 74 sin evento obstétrico o cuyo evento no tiene producto (hayprod distinto de 1); una fila por procedimiento.",
       {"select e.folio,e.clues,e.egreso,e.promed,o.hayprod Into  Validacion106 from 74 as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.folio IS NULL OR o.hayprod<>1  Group by e.folio,e.clues,e.egreso,e.promed,o.hayprod "},
       {},
       {"O80", "O82", "74", "TN3"}},
  };
  // clang-format on
  return rules;
}

const std::vector<Rule>& methodSixRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {109, "Validacion109",
       "Evento obstétrico con producto (hayprod 1) y método de planificación familiar (planfam) '6' cuyo egreso no tiene el diagnóstico Z308 en afecprin, diag_ini o alguna afec.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.planfam Into  Validacion109 from PF6 as e left join Z308 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.afecprin is null "},
       {
        {"Z308", {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  Z308 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE e.diag_ini='Z308' OR e.afecprin='Z308' OR a.afec='Z308' Group by e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec "}},
        {"9923", {"select e.cedocve,e.folio,e.clues,e.egreso,p.promed Into  9923 from egreso as e left join procedimientos as p on e.folio=p.folio and e.clues=p.clues and e.egreso=p.egreso WHERE p.promed='9923' Group by e.cedocve,e.folio,e.clues,e.egreso,p.promed "}},
        {"PF6", {"select e.cedocve,e.folio,e.clues,e.egreso,o.planfam Into  PF6 from egreso as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.planfam='6' Group by e.cedocve,e.folio,e.clues,e.egreso,o.planfam "}},
       }},
      {110, "Validacion110",
       "Evento obstétrico con producto (hayprod 1) y método de planificación familiar (planfam) '6' cuyo egreso no tiene el procedimiento 9923.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.planfam Into  Validacion110 from PF6 as e left join 9923 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.promed is null "}},
      {111, "Validacion111",
       "Egreso con diagnóstico Z308 o procedimiento 9923 cuyo evento obstétrico con producto (hayprod 1) tiene un método de planificación familiar (planfam) distinto de '6'.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,o.planfam Into  Validacion111 from Z3089923 as e inner join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 and o.planfam<>'6' GROUP BY e.cedocve,e.folio,e.clues,e.egreso,o.planfam "},
       {
        {"Z3089923", {"select cedocve,folio,clues,egreso Into  Z3089923 from Z308 ", "Insert into Z3089923 select cedocve,folio,clues,egreso from 9923 "}},
       },
       {"Z308", "9923", "PF6", "Z3089923"}},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
