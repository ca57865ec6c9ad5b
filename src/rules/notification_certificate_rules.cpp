// Rules 107, 108, 112 and 113: listings of notifiable diagnoses and the death certificates.
//
// 107 and 108 list every discharge or death whose code CATCIE10 marks for notification, with the
// four classes shown as 'Si' or 'No' under headings that keep their blank and accent. 112 and 113
// check certificate numbers: shared within the unit, or missing from the issued ones. Folio is the
// whole table of issued certificates (linked, not copied per unit), and a NULL certificate finds
// no row in it.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& notificationRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {107, "Validacion107",
       "Egreso cuya afección principal (afecprin) es de notificación según CATCIE10, con las cuatro clases (diaria, semanal, inmediata, sistema especial) marcadas 'Si' o 'No'.",
       {"select cedocve,folio,clues,egreso,afecprin, Iif(trim(b.NotDiaria) = 'T', 'Si', 'No') as [Notificación Diaria], Iif(trim(b.NotSemanal) = 'T', 'Si', 'No') as [Notificación Semanal], Iif(trim(b.nin) = 'T', 'Si', 'No') as [Notificación Inmediata], Iif(trim(b.SistemaEspecial) = 'T', 'Si', 'No') as [Sistema Especial] Into Validacion107 From EGRESO AS a INNER JOIN CATCIE10 AS b ON a.afecprin = b.CAUSA Where trim(b.NotDiaria)= 'T' or trim(b.NotSemanal)='T' or TRIM(b.nin)='T' or trim(b.SistemaEspecial) = 'T' "}},
      {108, "Validacion108",
       "Defunción cuya causa básica (causabas) es de notificación según CATCIE10, con las cuatro clases (diaria, semanal, inmediata, sistema especial) marcadas 'Si' o 'No'.",
       {"select folio,clues,egreso,causabas, Iif(trim(b.NotDiaria) = 'T', 'Si', 'No') as [Notificación Diaria], Iif(trim(b.NotSemanal) = 'T', 'Si', 'No') as [Notificación Semanal], Iif(trim(b.nin) = 'T', 'Si', 'No') as [Notificación Inmediata], Iif(trim(b.SistemaEspecial) = 'T', 'Si', 'No') as [Sistema Especial] Into   Validacion108 From DEFUNC AS a INNER JOIN CATCIE10 AS b ON a.causabas = b.CAUSA Where trim(b.NotDiaria)= 'T' or trim(b.NotSemanal)='T' or TRIM(b.nin)='T' or trim(b.SistemaEspecial) = 'T' "}},
  };
  // clang-format on
  return rules;
}

const std::vector<Rule>& deathCertificateRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {112, "Validacion112",
       "Defunción cuyo número de certificado (certif) se repite en otra defunción de la unidad; se listan todas las que lo comparten.",
       {"select folio,clues,egreso, Certif Into   Validacion112 From DEFUNC Where certif In (Select Certif From DEFUNC As Tmp Group By Certif Having Count(*)>1 )"}},
      {113, "Validacion113",
       "Defunción cuyo número de certificado (certif) está vacío o no está entre los certificados emitidos (Folio).",
       {"select folio,clues,egreso, Certif Into  Validacion113 From DEFUNC AS a LEft JOIN Folio AS b ON a.certif = b.certificado Where b.certificado Is Null"}},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
