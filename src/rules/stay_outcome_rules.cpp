// Rules 37 to 41: the principal and further diagnoses of a discharge against its length of stay
// and its outcome.
//
// Codes are compared by their first one or three characters (LEFT), so a category is matched with
// or without its fourth character ('K92' and 'K920' alike). Rules 39 to 41 join the child tables,
// so a discharge appears once for each joined AFECCIONES or DEFUNC row.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& stayOutcomeRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      // One group of principal diagnoses per statement; the groups do not overlap, so a discharge
      // is listed at most once, its row coming where its group's statement puts it.
      {37, "Validacion37",
       "Egreso de más de 6 días de estancia (dias_esta) cuya afección principal (afecprin) es de los grupos O80-O84, R00-R94, A00-A09, E10-E14 terminada en 9, Z30-Z36, Z38-Z39 o K92.",
       {
        "select cedocve,folio,clues,egreso,afecprin,dias_esta Into Validacion37 From egreso  WHERE DIAS_ESTA>6 AND LEFT(AFECPRIN,3) BETWEEN 'O80' AND 'O84'",
        "Insert Into Validacion37 select cedocve,folio,clues,egreso,afecprin,dias_esta from egreso WHERE LEFT(AFECPRIN,3) BETWEEN 'R00' AND 'R94' AND DIAS_ESTA>6",
        "Insert Into Validacion37 select cedocve,folio,clues,egreso,afecprin,dias_esta from egreso WHERE LEFT(AFECPRIN,3) BETWEEN 'A00' AND 'A09' AND DIAS_ESTA>6",
        "Insert Into Validacion37 select cedocve,folio,clues,egreso,afecprin,dias_esta from egreso WHERE LEFT(AFECPRIN,3) BETWEEN 'E10' AND 'E14' AND DIAS_ESTA>6 AND RIGHT(AFECPRIN,1)='9'",
        "Insert Into Validacion37 select cedocve,folio,clues,egreso,afecprin,dias_esta from egreso WHERE LEFT(AFECPRIN,3) BETWEEN 'Z30' AND 'Z36' AND DIAS_ESTA>6",
        "Insert Into Validacion37 select cedocve,folio,clues,egreso,afecprin,dias_esta from egreso WHERE LEFT(AFECPRIN,3) BETWEEN 'Z38' AND 'Z39' AND DIAS_ESTA>6",
        "Insert Into Validacion37 select cedocve,folio,clues,egreso,afecprin,dias_esta from egreso WHERE LEFT(AFECPRIN,3)='K92' AND DIAS_ESTA>6",
       }},
      {38, "Validacion38",
       "Egreso de más de 60 días de estancia (dias_esta) cuya afección principal (afecprin) no es del capítulo F.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.afecprin,e.dias_esta Into Validacion38 from egreso as e WHERE e.DIAS_ESTA>60 AND LEFT(e.AFECPRIN,1) NOT IN ('F') "}},
      {39, "Validacion39",
       "Egreso cuyo motivo de egreso (motegre) no es defunción ('5') con un código O95, O96 u O97 en afecprin, diag_ini o una afección (AFECCIONES.afec); una fila por afección del egreso.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.afecprin,e.motegre,e.diag_ini,a.afec Into Validacion39 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE e.MOTEGRE<>'5' AND (LEFT(e.AFECPRIN,3) IN ('O95','O96','O97') OR LEFT(e.diag_ini,3) IN ('O95','O96','O97') OR LEFT(a.AFEC,3) IN ('O95','O96','O97'))"}},
      {40, "Validacion40",
       "Egreso con un código P95 en afecprin, diag_ini, una afección (AFECCIONES.afec) o la causa básica de defunción (DEFUNC.causabas); una fila por combinación de afección y registro de DEFUNC.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.afecprin,e.motegre,e.diag_ini,a.afec,d.causabas Into Validacion40 from (egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso) left join DEFUNC as d on e.folio=d.folio and e.clues=d.clues and e.egreso=d.egreso WHERE LEFT(e.AFECPRIN,3)='P95' OR LEFT(e.diag_ini,3)='P95' OR LEFT(a.AFEC,3)='P95' OR LEFT(d.CAUSABAS,3)='P95' "}},
      {41, "Validacion41",
       "Egreso con afección principal (afecprin) S o T y un registro de DEFUNC cuya causa básica (causabas) no empieza con V, W, X ni Y; una fila por registro de DEFUNC.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.afecprin,e.motegre,d.causabas Into Validacion41 from egreso as e left join defunc as d on e.folio=d.folio and e.clues=d.clues and e.egreso=d.egreso WHERE LEFT(e.AFECPRIN,1) IN ('S','T') AND LEFT(d.CAUSABAS,1) NOT IN ('V','W','X','Y') "}},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
