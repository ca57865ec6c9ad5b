// Rules 27 to 36: the three places where a discharge records a family-planning method (a Z30
// diagnosis, a procedure, the method of an obstetric event with a product) checked against each
// other, in three groups, each with its own work tables:
//
//   27 to 30: diagnosis Z301, procedure 697x, method '1';
//   31 to 34: diagnosis Z302 on women, procedures 6639, 6632, 6629, method '3';
//   35, 36:   diagnosis Z302 on men, procedures 6373, 6374.
//
// A missing counterpart is found by a LEFT JOIN with the other work table and an IS NULL test on
// one of its columns. Which column differs from rule to rule, and it matters: `afec` and `afecprin`
// of the diagnosis tables may be NULL in a row that did join, so rules 28, 29, 32, 33 and 36 also
// list discharges whose diagnosis is present but whose joined row lacks that column.
//
// Both diagnosis tables of groups B and C are called Z302: the women's one is dropped after rule 34
// and the men's one built under the same name before rule 35. Work-table names that begin with a
// digit (697X, 66396632, 63736374) stand unbracketed, as the engine takes them.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& familyPlanningRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      // Group A: Z301, 697x, method '1'.
      {27, "Validacion27",
       "Egreso con diagnóstico Z301 (diag_ini, afecprin o AFECCIONES.afec) sin el procedimiento 697x (PROCEDIMIENTOS.promed); puede aparecer una vez por cada una de sus afecciones.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,e.afec,a.promed Into  Validacion27 from Z301 as e left join 697X as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE a.promed is null "},
       {
        {"Z301", {"select e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec Into  Z301 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE e.diag_ini='Z301' OR e.afecprin='Z301' OR a.afec='Z301' Group by e.cedocve,e.folio,e.clues,e.egreso,e.diag_ini,e.afecprin,a.afec "}},
        {"697X", {"select e.cedocve,e.folio,e.clues,e.egreso,p.promed Into  697X from egreso as e left join procedimientos as p on e.folio=p.folio and e.clues=p.clues and e.egreso=p.egreso WHERE p.promed  IN ('697x') Group by e.cedocve,e.folio,e.clues,e.egreso,p.promed "}},
        {"PF1", {"select e.cedocve,e.folio,e.clues,e.egreso,o.planfam Into  PF1 from egreso as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.planfam='1' Group by e.cedocve,e.folio,e.clues,e.egreso,o.planfam "}},
       }},
      {28, "Validacion28",
       "Egreso con el procedimiento 697x (PROCEDIMIENTOS.promed) sin el diagnóstico Z301, o cuyo Z301 no va acompañado de una afección (AFECCIONES.afec vacía o sin registros en AFECCIONES).",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.promed,a.afec Into  Validacion28 from 697X as e left join Z301 as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE a.afec is null "}},
      {29, "Validacion29",
       "Evento obstétrico con producto (hayprod 1) y método de planificación familiar '1' (planfam) cuyo egreso no tiene el diagnóstico Z301 (diag_ini, afecprin o AFECCIONES.afec), o lo tiene con la afección principal (afecprin) vacía.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.planfam Into  Validacion29 from PF1 as e left join Z301 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.afecprin is null "}},
      {30, "Validacion30",
       "Egreso con diagnóstico Z301 o procedimiento 697x cuyo evento obstétrico con producto (hayprod 1) tiene un método de planificación familiar (planfam) distinto de '1'; una fila por egreso y método.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,o.planfam Into  Validacion30 from Z301697X as e inner join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 and o.planfam<>'1' GROUP BY e.cedocve,e.folio,e.clues,e.egreso,o.planfam "},
       {
        {"Z301697X", {
         "select cedocve,folio,clues,egreso Into  Z301697X from Z301 ",
         "Insert into Z301697X select cedocve,folio,clues,egreso from 697X ",
        }},
       },
       {"Z301", "697X", "PF1", "Z301697X"}},

      // Group B: Z302 on women, 6639/6632/6629, method '3'.
      {31, "Validacion31",
       "Mujer (sexo '2') con diagnóstico Z302 (diag_ini, afecprin o AFECCIONES.afec) sin ninguno de los procedimientos 6639, 6632, 6629 (PROCEDIMIENTOS.promed); puede aparecer una vez por cada una de sus afecciones.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.diag_ini,e.afecprin,e.afec,a.promed Into  Validacion31 from Z302 as e left join 66396632 as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE a.promed is null "},
       {
        {"Z302", {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.diag_ini,e.afecprin,a.afec Into  Z302 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE (e.diag_ini='Z302' OR e.afecprin='Z302' OR a.afec='Z302') and e.sexo='2' Group by  e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.diag_ini,e.afecprin,a.afec "}},
        {"66396632", {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,p.promed Into  66396632 from egreso as e left join procedimientos as p on e.folio=p.folio and e.clues=p.clues and e.egreso=p.egreso WHERE p.promed IN ('6639','6632','6629') Group by e.cedocve,e.folio,e.clues,e.egreso,e.sexo,p.promed "}},
        {"PF3", {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,o.planfam Into  PF3 from egreso as e left join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 AND o.planfam='3' Group by e.cedocve,e.folio,e.clues,e.egreso,e.sexo,o.planfam "}},
       }},
      {32, "Validacion32",
       "Egreso con el procedimiento 6639, 6632 o 6629 (PROCEDIMIENTOS.promed) que no es de una mujer (sexo '2') con diagnóstico Z302, o cuyo Z302 no va acompañado de una afección (AFECCIONES.afec vacía o sin registros en AFECCIONES).",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.promed,a.afec Into  Validacion32 from 66396632 as e left join Z302 as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE a.afec is null "}},
      {33, "Validacion33",
       "Evento obstétrico con producto (hayprod 1) y método de planificación familiar '3' (planfam) cuyo egreso no es de una mujer (sexo '2') con diagnóstico Z302 (diag_ini, afecprin o AFECCIONES.afec), o lo es con la afección principal (afecprin) vacía.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.planfam,o.afec Into  Validacion33 from PF3 as e left join Z302 as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.afecprin is null "}},
      {34, "Validacion34",
       "Egreso de mujer con diagnóstico Z302, o con el procedimiento 6639, 6632 o 6629, cuyo evento obstétrico con producto (hayprod 1) tiene un método de planificación familiar (planfam) distinto de '3'; una fila por egreso, sexo y método.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,o.planfam Into  Validacion34 from Z30266396632 as e inner join obstet as o on e.folio=o.folio and e.clues=o.clues and e.egreso=o.egreso WHERE o.hayprod=1 and o.planfam<>'3' GROUP BY e.cedocve,e.folio,e.clues,e.egreso,e.sexo,o.planfam "},
       {
        {"Z30266396632", {
         "select cedocve,folio,clues,egreso,sexo Into  Z30266396632 from Z302 ",
         "Insert into Z30266396632 select cedocve,folio,clues,egreso,sexo from 66396632 ",
        }},
       },
       {"Z302", "66396632", "PF3", "Z30266396632"}},

      // Group C: Z302 on men, 6373/6374.
      {35, "Validacion35",
       "Hombre (sexo '1') con diagnóstico Z302 (diag_ini, afecprin o AFECCIONES.afec) sin el procedimiento 6373 ni el 6374 (PROCEDIMIENTOS.promed); puede aparecer una vez por cada una de sus afecciones.",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.diag_ini,e.afecprin,e.afec,a.promed Into  Validacion35 from Z302 as e left join 63736374 as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE a.promed is null "},
       {
        {"Z302", {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.diag_ini,e.afecprin,a.afec Into  Z302 from egreso as e left join afecciones as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE (e.diag_ini='Z302' OR e.afecprin='Z302' OR a.afec='Z302') and e.sexo='1' Group by  e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.diag_ini,e.afecprin,a.afec "}},
        {"63736374", {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,p.promed Into  63736374 from egreso as e left join procedimientos as p on e.folio=p.folio and e.clues=p.clues and e.egreso=p.egreso WHERE p.promed IN ('6373','6374') Group by e.cedocve,e.folio,e.clues,e.egreso,e.sexo,p.promed "}},
       }},
      {36, "Validacion36",
       "Egreso con el procedimiento 6373 o 6374 (PROCEDIMIENTOS.promed) que no es de un hombre (sexo '1') con diagnóstico Z302, o cuyo Z302 no va acompañado de una afección (AFECCIONES.afec vacía o sin registros en AFECCIONES).",
       {"select e.cedocve,e.folio,e.clues,e.egreso,e.sexo,e.promed,a.afec Into  Validacion36 from 63736374 as e left join Z302 as a on e.folio=a.folio and e.clues=a.clues and e.egreso=a.egreso WHERE a.afec is null "},
       {},
       {"Z302", "63736374"}},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
