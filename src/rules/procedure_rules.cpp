// Rules 81 to 84: the procedure codes of PROCEDIMIENTOS against CATCIE9MC: their form, their place
// in the catalogue, and the sex and age limits it sets, judged on the discharge each belongs to.
//
// Unlike the generated diagnosis rules, the length and catalogue rules have no guard against empty
// codes: an empty code is listed by both, a NULL one by the catalogue rule only. The age limits are
// numbers with their unit as an age-unit code ('0' hours to '3' years), compared without
// conversion.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& procedureRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {81, "Validacion81",
       "Procedimiento (PROCEDIMIENTOS.promed) de menos de cuatro caracteres sin blancos, vacío incluido.",
       {"select folio,clues,egreso,promed Into Validacion81 From procedimientos Where LEN(TRIM(PROMED))<4 "}},
      {82, "Validacion82",
       "Procedimiento (PROCEDIMIENTOS.promed) que no está en CATCIE9MC (comparado tal como está escrito), vacío o nulo incluido.",
       {"select folio,clues,egreso,promed Into Validacion82 From procedimientos AS a LEFT OUTER JOIN CATCIE9MC b ON a.PROMED = b.CVE_PROC Where b.DESCRIP IS NULL "}},
      {83, "Validacion83",
       "Procedimiento (PROCEDIMIENTOS.promed) que CATCIE9MC admite solo en un sexo (sexo), en un egreso de otro sexo (EGRESO.sexo).",
       {
        "select e.cedocve,a.folio,a.clues,a.egreso,e.sexo,promed Into Validacion83 From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where TRIM(b.sexo) = '2' AND e.SEXO <> '2' ",
        "Insert into Validacion83 select e.cedocve,a.folio,a.clues,a.egreso,e.sexo,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where TRIM(b.sexo) = '1' AND e.SEXO <> '1' ",
       }},
      // Units rank '0' < '1' < '2' < '3' and are never converted: an age in a smaller unit is below
      // any lower limit of a larger one. The first statement's rows (ages in years outside two
      // limits in years) are listed again by the second or the sixth, so each stands twice.
      {84, "Validacion84",
       "Procedimiento (PROCEDIMIENTOS.promed) cuyos límites de edad en CATCIE9MC (cve_edi, edad_i, cve_edf, edad_f) no admiten la edad del egreso (EGRESO.cveedad, edad); con ambos límites en años, la fila sale dos veces.",
       {
        "select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed Into Validacion84 From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where (trim(b.cve_edi) = '3' and trim(b.cve_edf) = '3') and e.CVEEDAD = '3' AND (e.edad < b.edad_i or e.edad > b.edad_f) ",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edi) = '3' AND  (e.cveedad in ('0','1','2') OR (e.cveedad='3' AND e.edad<b.edad_i))",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edi) = '2' AND (e.cveedad in ('0','1') OR (e.cveedad='2' AND e.edad<b.edad_i))",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edi) = '1' AND (e.cveedad='0' OR (e.cveedad='1' AND e.edad<b.edad_i))",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edi) = '0' AND (e.cveedad='0' AND e.edad<b.edad_i)",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edf) = '3' AND e.CVEEDAD='3' AND e.edad>b.edad_f ",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edf) = '2' AND (e.cveedad='3' OR (e.cveedad='2' AND e.edad>b.edad_f))",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edf) = '1'  AND (e.cveedad in ('3','2') OR (e.cveedad='1' AND e.edad>b.edad_f))",
        "insert Into Validacion84 select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,promed From (procedimientos AS a INNER JOIN CATCIE9MC AS b ON a.PROMED = b.CVE_PROC ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where trim(b.cve_edf) = '0'  AND (e.cveedad in ('3','2','1') OR (e.cveedad='0' AND e.edad>b.edad_f))",
       }},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
