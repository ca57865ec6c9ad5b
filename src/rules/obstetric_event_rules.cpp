// Rules 85 to 99: the obstetric record against the abortion and delivery diagnoses of its
// discharge, its own fields, and its products of birth.
//
// Codes are compared after trimming except where a rule says otherwise: rules 85 and 86 take
// tipaten as it stands, so ' 1' is not '1' to them. Weights and weeks are tested by length and
// then as numbers through CInt, which gives NULL for a missing or non-numeric text: that
// comparison drops out and the row is judged by the rest, so an event without products is still
// judged by its weeks of gestation. Rules 93 and 96 count joined rows, so an event without products
// counts one.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& obstetricEventRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {85, "Validacion85",
       "Egreso con diagnóstico de aborto (O00 a O07 en afecprin, diag_ini o alguna afec) cuyo evento obstétrico tiene producto (hayprod 1) y un tipo de atención (tipaten) distinto de '1'; una fila por afec.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.hayprod,o.tipaten Into  Validacion85 from O00O07 as e inner join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.tipaten<>'1' GROUP BY e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.hayprod,o.tipaten "},
       {
        {"O00O07", {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  O00O07 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE (LEFT(e.afecprin,3) BETWEEN 'O00' AND 'O07' OR LEFT(e.diag_ini,3) BETWEEN 'O00' AND 'O07' OR LEFT(a.afec,3) BETWEEN 'O00' AND 'O07') Group by  e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec "}},
       },
       {"O00O07"}},
      {86, "Validacion86",
       "Egreso con diagnóstico de parto (O80 a O84 en afecprin, diag_ini o alguna afec) cuyo evento obstétrico tiene producto (hayprod 1) y un tipo de atención (tipaten) distinto de '2'; una fila por afec.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.hayprod,o.tipaten Into  Validacion86 from O80O84 as e inner join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.tipaten<>'2' GROUP BY e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,o.hayprod,o.tipaten "},
       {
        {"O80O84", {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  O80O84 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE (LEFT(e.afecprin,3) BETWEEN 'O80' AND 'O84' OR LEFT(e.diag_ini,3) BETWEEN 'O80' AND 'O84' OR LEFT(a.afec,3) BETWEEN 'O80' AND 'O84') Group by  e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec "}},
       },
       {"O80O84"}},
      {87, "Validacion87",
       "Evento obstétrico cuyo hayprod está vacío o no es 1 ni 2.",
       {"select folio,clues,egreso,hayprod Into  Validacion87 from obstet WHERE hayprod IS NULL OR hayprod NOT IN (1,2) "}},
      {88, "Validacion88",
       "Evento obstétrico sin producto (hayprod 2) con tipaten, producto, tipnaci o planfam llenos.",
       {"select folio,clues,egreso,hayprod,tipaten,producto,tipnaci,planfam Into  Validacion88 from obstet WHERE hayprod=2 AND ((trim(tipaten)<>'' AND tipaten IS NOT NULL) OR (trim(producto)<>'' AND producto IS NOT NULL) OR (trim(tipnaci)<>'' AND tipnaci IS NOT NULL) OR (trim(planfam)<>'' AND planfam IS NOT NULL)) "}},
      {89, "Validacion89",
       "Evento obstétrico con producto (hayprod 1) sin tipo de atención (tipaten vacío).",
       {"select folio,clues,egreso,hayprod,tipaten Into  Validacion89 from obstet WHERE hayprod=1 and (trim(tipaten)='' OR tipaten IS NULL) "}},
      {90, "Validacion90",
       "Evento obstétrico con tipo de atención (tipaten) lleno y distinto de '1' y '2'.",
       {"select folio,clues,egreso,tipaten Into  Validacion90 from obstet WHERE trim(tipaten) NOT IN ('1','2') AND tipaten IS NOT NULL AND trim(tipaten)<>'' "}},
      {91, "Validacion91",
       "Aborto (tipaten '1') con producto distinto de '1' y '2', tipo de nacimiento (tipnaci) lleno o método de planificación familiar (planfam) fuera de '1' a '6'.",
       {"select folio,clues,egreso,tipaten,producto,tipnaci,planfam Into  Validacion91 from obstet WHERE trim(tipaten)='1' AND ((trim(producto) NOT IN ('1','2')) OR (tipnaci IS NOT NULL AND trim(tipnaci)<>'') OR (trim(planfam) NOT IN ('1','2','3','4','5','6')) ) "}},
      {92, "Validacion92",
       "Aborto (tipaten '1') cuyo peso del producto (pesoprod) no tiene 4 caracteres, es 0 o pasa de 500 sin ser 9999, o cuyas semanas de gestación (gestac) no tienen 2 caracteres, son 0 o pasan de 21 sin ser 99; una fila por producto.",
       {"select o.folio,o.clues,o.egreso,o.tipaten,o.gestac,o.producto,o.tipnaci,o.planfam,p.numproducto,p.pesoprod,p.sexprod,p.condnac,p.condegre Into  Validacion92 from obstet as o left join productos as p on o.folio=p.folio and o.clues=p.clues and o.egreso=p.egreso WHERE trim(o.tipaten)='1' AND  ((len(p.pesoprod)<>4 OR CInt(trim(p.pesoprod))=0 OR (CInt(trim(p.pesoprod))>500 AND CInt(trim(p.pesoprod))<>9999)) OR (len(o.gestac)<>2 OR CInt(trim(o.gestac))=0 OR (CInt(trim(o.gestac))>21 AND CInt(trim(o.gestac))<>99))) "}},
      {93, "Validacion93",
       "Aborto (tipaten '1') cuyo número de productos en PRODUCTOS no corresponde a producto ('1': exactamente uno; '2': al menos dos); un evento sin productos cuenta como uno.",
       {
        "select o.folio,o.clues,o.egreso,o.tipaten,o.producto,count(*) as numproducto Into  Validacion93 from obstet as o left join productos as p on o.folio=p.folio and o.clues=p.clues and o.egreso=p.egreso WHERE trim(o.tipaten)='1' AND trim(o.producto)='1' GROUP BY o.folio,o.clues,o.egreso,o.tipaten,o.producto HAVING count(*)<>1 ",
        "Insert Into Validacion93 select o.folio,o.clues,o.egreso,o.tipaten,o.producto,count(*) as numproducto from obstet as o left join productos as p on o.folio=p.folio and o.clues=p.clues and o.egreso=p.egreso WHERE trim(o.tipaten)='1' AND trim(o.producto)='2' GROUP BY o.folio,o.clues,o.egreso,o.tipaten,o.producto HAVING count(*)<2 ",
       }},
      {94, "Validacion94",
       "Parto (tipaten '2') con producto distinto de '1' y '2', tipo de nacimiento (tipnaci) fuera de '1' a '3' o método de planificación familiar (planfam) fuera de '1' a '6'.",
       {"select folio,clues,egreso,tipaten,producto,tipnaci,planfam Into  Validacion94 from obstet WHERE trim(tipaten)='2' AND ((trim(producto) NOT IN ('1','2')) OR (trim(tipnaci) NOT IN ('1','2','3')) OR (trim(planfam) NOT IN ('1','2','3','4','5','6')) ) "}},
      {95, "Validacion95",
       "Parto (tipaten '2') cuyo peso del producto (pesoprod) no tiene 4 caracteres, es menor de 501 o pasa de 6000 sin ser 9999, o cuyas semanas de gestación (gestac) no tienen 2 caracteres, son menos de 22 o pasan de 45 sin ser 99; una fila por producto.",
       {"select o.folio,o.clues,o.egreso,o.tipaten,o.gestac,o.producto,o.tipnaci,o.planfam,p.numproducto,p.pesoprod,p.sexprod,p.condnac,p.condegre Into  Validacion95 from obstet as o left join productos as p on o.folio=p.folio and o.clues=p.clues and o.egreso=p.egreso WHERE trim(o.tipaten)='2' AND  ((len(p.pesoprod)<>4 OR CInt(trim(p.pesoprod))<501 OR (CInt(trim(p.pesoprod))>6000 AND CInt(trim(p.pesoprod))<>9999)) OR (len(o.gestac)<>2 OR CInt(trim(o.gestac))<22 OR (CInt(trim(o.gestac))>45 AND CInt(trim(o.gestac))<>99))) "}},
      {96, "Validacion96",
       "Parto (tipaten '2') cuyo número de productos en PRODUCTOS no corresponde a producto ('1': exactamente uno; '2': al menos dos); un evento sin productos cuenta como uno.",
       {
        "select o.folio,o.clues,o.egreso,o.tipaten,o.producto,count(*) as numproducto Into  Validacion96 from obstet as o left join productos as p on o.folio=p.folio and o.clues=p.clues and o.egreso=p.egreso WHERE trim(o.tipaten)='2' AND trim(o.producto)='1' GROUP BY o.folio,o.clues,o.egreso,o.tipaten,o.producto HAVING count(*)<>1 ",
        "Insert Into Validacion96 select o.folio,o.clues,o.egreso,o.tipaten,o.producto,count(*) as numproducto from obstet as o left join productos as p on o.folio=p.folio and o.clues=p.clues and o.egreso=p.egreso WHERE trim(o.tipaten)='2' AND trim(o.producto)='2' GROUP BY o.folio,o.clues,o.egreso,o.tipaten,o.producto HAVING count(*)<2",
       }},
      {97, "Validacion97",
       "Producto cuyo sexo (sexprod), condición al nacer (condnac) o condición al egreso (condegre) no es un código válido.",
       {"select folio,clues,egreso,numproducto,sexprod,condnac,condegre Into  Validacion97 from productos WHERE trim(sexprod) NOT IN ('1','2','9') OR trim(condnac) NOT IN ('1','2','9') OR trim(condegre) NOT IN ('1','2','3','9') "}},
      {98, "Validacion98",
       "Producto con condición al nacer (condnac) '1' con naviapag, navirean o navicune llenos, o con condición al egreso (condegre) distinta de '3'.",
       {"select folio,clues,egreso,condnac,naviapag,navirean,navicune,condegre Into  Validacion98 from productos WHERE (trim(condnac)='1' AND ((naviapag IS NOT NULL AND trim(naviapag)<>'') OR (navirean IS NOT NULL AND trim(navirean)<>'') OR (navicune IS NOT NULL AND trim(navicune)<>'') OR trim(condegre)<>'3')) "}},
      {99, "Validacion99",
       "Producto con condición al nacer (condnac) '2' con naviapag o navicune vacíos, navirean distinto de '1' y '2' o condición al egreso (condegre) no válida.",
       {"select folio,clues,egreso,condnac,naviapag,navirean,navicune,condegre Into  Validacion99 from productos WHERE (trim(condnac)='2' AND ((naviapag IS NULL OR trim(naviapag)='') OR (trim(navirean) NOT IN ('1','2')) OR (navicune IS NULL OR trim(navicune)='') OR trim(condegre) NOT IN ('1','2','3','9'))) "}},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
