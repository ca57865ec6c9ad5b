// The generated rules 42 to 80: every check below is run over each code-field pair of the
// catalogue (EGRESO.afecprin, EGRESO.causaext, EGRESO.diag_ini, DEFUNC.causabas,
// AFECCIONES.afec) against CATCIE10, and each check that runs for a pair is one numbered rule.
//
// Which checks run for a pair decides every number from 42 on, so the conditions compare the pair's
// texts exactly, as written in the catalogue. The codes are joined to CATCIE10 as they stand,
// neither side trimmed: a code behind a blank has no catalogue row, so the membership check lists
// it and the joined checks never do, while the first-letter checks judge it by its first non-blank.
#include "rules/catalogue.h"

namespace kolt::rules {
namespace {

using Statements = std::vector<std::string_view>;

bool isCausaext(std::string_view, std::string_view lcCampo) {
  return lcCampo == "Causaext";
}
bool isCausabas(std::string_view, std::string_view lcCampo) {
  return lcCampo == "Causabas";
}
bool isAfecprin(std::string_view, std::string_view lcCampo) {
  return lcCampo == "Afecprin";
}
// The first check takes one of four kinds; the last kind is for every other field.
bool isOtherDiagnosis(std::string_view lcTabla, std::string_view lcCampo) {
  return !isCausaext(lcTabla, lcCampo) && !isCausabas(lcTabla, lcCampo) &&
         !isAfecprin(lcTabla, lcCampo);
}
bool notCausaext(std::string_view lcTabla, std::string_view lcCampo) {
  return !isCausaext(lcTabla, lcCampo);
}
bool everyPair(std::string_view, std::string_view) {
  return true;
}

// The sex and age of a code's patient are always the discharge's: a child table's rows are joined
// back to their discharge on all three key columns, so a row without its discharge is never listed.
bool isDischargeTable(std::string_view lcTabla) {
  return lcTabla == "Egreso";
}

// clang-format off
Statements sexLimit(std::string_view lcTabla, std::string_view) {
  static const Statements onRecord = {
      "select cedocve,folio,clues,egreso,a.sexo,{field} Into Validacion{N} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where TRIM(b.lsex) = '2' AND a.SEXO <> '2' ",
      "Insert Into Validacion{N} select cedocve,folio,clues,egreso,a.sexo,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where TRIM(b.lsex) = '1' AND a.SEXO <> '1' ",
  };
  static const Statements joined = {
      "select e.cedocve,a.folio,a.clues,a.egreso,e.sexo,{field} Into Validacion{N} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where TRIM(b.lsex) = '2' AND e.SEXO <> '2' ",
      "Insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.sexo,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where TRIM(b.lsex) = '1' AND e.SEXO <> '1' ",
  };
  return isDischargeTable(lcTabla) ? onRecord : joined;
}

// A limit is (unit, number) and so is the age; units are never converted into one another, so an
// age in a smaller unit is below any lower limit of a larger one, and one in a larger unit above
// any upper limit of a smaller one. The first statement lists ages in years outside two limits in
// years, which the second (below) or the sixth (above) lists again: such a row stands twice, as the
// users' workbooks have always shown it.
Statements ageLimit(std::string_view lcTabla, std::string_view) {
  static const Statements onRecord = {
      "select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} Into Validacion{N} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where (right(trim(b.linf),1) = 'A' and right(trim(b.lsup),1) = 'A') and a.CVEEDAD = '3' AND (a.edad < CInt(left(trim(b.linf),3)) or a.edad > CInt(left(trim(b.lsup),3))) ",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.linf),1) = 'A' AND  (a.cveedad in ('0','1','2') OR (a.cveedad='3' AND a.edad<val(left(trim(b.linf),3))))",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.linf),1) = 'M' AND (a.cveedad in ('0','1') OR (a.cveedad='2' AND a.edad<val(left(trim(b.linf),3))))",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.linf),1) = 'D' AND (a.cveedad='0' OR (a.cveedad='1' AND a.edad<val(left(trim(b.linf),3))))",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.linf),1) = 'H' AND (a.cveedad='0' AND a.edad<val(left(trim(b.linf),3)))",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.lsup),1) = 'A' AND a.CVEEDAD='3' AND a.edad>val(left(trim(b.lsup),3)) ",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.lsup),1) = 'M' AND (a.cveedad='3' OR (a.cveedad='2' AND a.edad>val(left(trim(b.lsup),3))))",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.lsup),1) = 'D'  AND (a.cveedad in ('3','2') OR (a.cveedad='1' AND a.edad>val(left(trim(b.lsup),3))))",
      "insert Into Validacion{N} select cedocve,folio,clues,egreso,a.cveedad,a.edad,{field} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where right(trim(b.lsup),1) = 'H'  AND (a.cveedad in ('3','2','1') OR (a.cveedad='0' AND a.edad>val(left(trim(b.lsup),3))))",
  };
  static const Statements joined = {
      "select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} Into Validacion{N} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where (right(trim(b.linf),1) = 'A' and right(trim(b.lsup),1) = 'A') and e.CVEEDAD = '3' AND (e.edad < CInt(left(trim(b.linf),3)) or e.edad > CInt(left(trim(b.lsup),3))) ",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.linf),1) = 'A' AND  (e.cveedad in ('0','1','2') OR (e.cveedad='3' AND e.edad<val(left(trim(b.linf),3))))",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.linf),1) = 'M' AND (e.cveedad in ('0','1') OR (e.cveedad='2' AND e.edad<val(left(trim(b.linf),3))))",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.linf),1) = 'D' AND (e.cveedad='0' OR (e.cveedad='1' AND e.edad<val(left(trim(b.linf),3))))",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.linf),1) = 'H' AND (e.cveedad='0' AND e.edad<val(left(trim(b.linf),3)))",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.lsup),1) = 'A' AND e.CVEEDAD='3' AND e.edad>val(left(trim(b.lsup),3)) ",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.lsup),1) = 'M' AND (e.cveedad='3' OR (e.cveedad='2' AND e.edad>val(left(trim(b.lsup),3))))",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.lsup),1) = 'D'  AND (e.cveedad in ('3','2') OR (e.cveedad='1' AND e.edad>val(left(trim(b.lsup),3))))",
      "insert Into Validacion{N} select e.cedocve,a.folio,a.clues,a.egreso,e.cveedad,e.edad,{field} From ({table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA ) INNER JOIN EGRESO AS e ON e.folio=a.folio AND e.clues=a.clues AND e.egreso=a.egreso Where right(trim(b.lsup),1) = 'H'  AND (e.cveedad in ('3','2','1') OR (e.cveedad='0' AND e.edad>val(left(trim(b.lsup),3))))",
  };
  return isDischargeTable(lcTabla) ? onRecord : joined;
}

}  // namespace

const std::vector<GeneratedCheck>& diagnosisCodeChecks() {
  static const std::vector<GeneratedCheck> checks = {
      {"1a",
       "Código de {table}.{field} lleno cuya primera letra (sin blancos al inicio) no es V, W, X ni Y, las letras de causa externa.",
       isCausaext,
       [](std::string_view, std::string_view) -> Statements { return {"select cedocve,folio,clues,egreso,{field} Into Validacion{N} From {table} Where left(TRIM({field}),1) NOT IN ('V','W','X','Y') AND {field} <> '' AND {field} IS NOT NULL "}; }},
      {"1b",
       "Código de {table}.{field} cuya primera letra (sin blancos al inicio) es S, T, U o Z, que no son causa básica de defunción.",
       isCausabas,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} Where left(TRIM({field}),1) IN ('S','T','U','Z') "}; }},
      {"1c",
       "Código de {table}.{field} que CATCIE10 no admite como afección principal (no_aph 'T').",
       isAfecprin,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where trim(b.no_aph)='T' "}; }},
      {"1d",
       "Código de {table}.{field} cuya primera letra (sin blancos al inicio) es V, W, X o Y, letras de causa externa.",
       isOtherDiagnosis,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} Where left(TRIM({field}),1) IN ('V','W','X','Y') "}; }},
      {"2",
       "Código de {table}.{field} lleno de menos de cuatro caracteres (sin blancos), aunque esté en CATCIE10.",
       everyPair,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} Where LEN(TRIM({field}))<4 AND {field} <> '' AND {field} IS NOT NULL "}; }},
      {"3",
       "Código de {table}.{field} dado de baja en CATCIE10 (actualizac 'B').",
       everyPair,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where trim(b.actualizac)='B' "}; }},
      {"4",
       "Código de {table}.{field} lleno que no está en CATCIE10 (comparado tal como está escrito, blancos incluidos).",
       everyPair,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} AS a LEFT OUTER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where b.NOMBRE IS NULL AND {field} <> '' AND {field} IS NOT NULL "}; }},
      {"5",
       "Código de {table}.{field} que CATCIE10 no admite como causa básica de defunción (no_cbd 'T').",
       isCausabas,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where trim(b.no_cbd)='T' "}; }},
      {"6",
       "Código de {table}.{field} de una enfermedad erradicada según CATCIE10 (errad 'T').",
       notCausaext,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} AS a INNER JOIN CATCIE10 AS b ON a.{field} = b.CAUSA Where trim(b.errad)='T' "}; }},
      {"7",
       "Código de {table}.{field} que empieza con A22, A36 o A80, o que es A33X, A920 o A922 (tal como está escrito, sin quitar blancos).",
       notCausaext,
       [](std::string_view, std::string_view) -> Statements { return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} Where LEFT({field},3) IN ('A22','A36','A80') OR {field} IN ('A33X','A920','A922') "}; }},
      {"8",
       "Código de {table}.{field} que CATCIE10 admite solo en un sexo (lsex), en un egreso de otro sexo (EGRESO.sexo).",
       everyPair,
       sexLimit},
      {"9",
       "Código de {table}.{field} cuyos límites de edad en CATCIE10 (linf, lsup) no admiten la edad del egreso (EGRESO.cveedad, edad); con ambos límites en años, la fila sale dos veces.",
       everyPair,
       ageLimit},
  };
  return checks;
}
// clang-format on

}  // namespace kolt::rules
