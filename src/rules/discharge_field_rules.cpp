// Rules 1 to 26: one discharge at a time, each field against its codes, a catalogue or another
// field of the same discharge.
//
// Each entry: number, result table, what the rule flags, and its statements exactly as they are
// sent to the engine. Most codes are tested with NOT IN, under which a NULL code is never listed
// while an empty one is; the rules that mean to list an empty field say so with IS NULL or
// trim(...)=''.
#include "rules/catalogue.h"

namespace kolt::rules {

const std::vector<Rule>& dischargeFieldRules() {
  // Statement texts stay one to a line, unbroken, so each can be read against its description.
  // clang-format off
  static const std::vector<Rule> rules = {
      {1, "Validacion1",
       "Egreso cuya edad (edad) no es mayor que 0 o pasa del máximo de su unidad (cveedad: 23 horas, 29 días, 11 meses, 130 años), o cuya unidad de edad no es '0', '1', '2' ni '3'.",
       {"select cedocve,folio,clues,egreso,cveedad,edad Into Validacion1 From egreso WHERE (cveedad='0' and (edad<=0 or edad>23)) OR  (cveedad='1' and (edad<=0 or edad>29)) OR  (cveedad='2' and (edad<=0 or edad>11)) OR  (cveedad='3' and (edad<=0 or edad>130)) OR  cveedad NOT IN ('0','1','2','3')"}},
      {2, "Validacion2",
       "Egreso cuyo nacioen no concuerda con la edad: '1' o '2' en un paciente de más de 3 meses o cuya edad no está en horas, días ni meses, u otro valor en un paciente de horas, de días o de 3 meses a lo más.",
       {
        "select cedocve,folio,clues,egreso,cveedad,edad,nacioen Into Validacion2 From egreso WHERE nacioen IN ('1','2') AND (cveedad NOT IN ('0','1','2') OR (cveedad='2' and edad>3)) ",
        "INSERT Into Validacion2  select cedocve,folio,clues,egreso,cveedad,edad,nacioen From egreso WHERE nacioen NOT IN ('1','2') AND (cveedad IN ('0','1') OR (cveedad='2' and edad<=3)) ",
       }},
      {3, "Validacion3",
       "Egreso cuyo sexo (sexo) no es '1' ni '2'.",
       {"select cedocve,folio,clues,egreso,sexo Into Validacion3 From egreso  WHERE sexo NOT IN ('1','2') "}},
      {4, "Validacion4",
       "Egreso cuya derechohabiencia (derhab) no es ninguno de '0' a '9', 'G', 'P'.",
       {"select cedocve,folio,clues,egreso,derhab Into Validacion4 From egreso  WHERE derhab NOT IN ('0','1','2','3','4','5','6','7','8','9','G','P') "}},
      {5, "Validacion5",
       "Egreso cuya afiliación no corresponde a su derechohabiencia: con derhab '8', spss '9999999999' con spss_dv '99', o spss de menos de 10 o spss_dv de menos de 2 caracteres; con derhab 'G', spss de menos de 10 caracteres o spss_dv no vacío.",
       {"select cedocve,folio,clues,egreso,derhab,spss,spss_dv Into Validacion5 from egreso  WHERE (derhab='8' AND ((spss='9999999999' and spss_dv='99') or (len(trim(spss))<10 or len(trim(spss_dv))<2))) OR (derhab='G' AND (len(trim(spss))<10 or len(trim(spss_dv))<>0)) "}},
      {6, "Validacion6",
       "Egreso cuya entidad, municipio y localidad (entidad, munic, loc) no son una localidad de CATLOCAL con descripción.",
       {"select cedocve,folio,clues,egreso,entidad,munic,a.loc Into Validacion6 From egreso AS a left JOIN CATLOCAL as b ON a.entidad=b.edo and a.munic=b.mpo and a.Loc=B.Loc Where B.descrip IS NULL"}},
      {7, "Validacion7",
       "Egreso cuyo expediente (expediente) está vacío, tiene menos de 3 caracteres o es una serie de nueves o de X.",
       {"select cedocve,folio,clues,egreso,expediente Into Validacion7 From egreso  WHERE expediente is null OR trim(expediente) = '' OR len(expediente)<3 OR trim(expediente)='9' or trim(expediente)='99' or trim(expediente)='999' or trim(expediente)='9999' or trim(expediente)='99999' or trim(expediente)='999999' or trim(expediente)='9999999' or trim(expediente)='99999999' or trim(expediente)='999999999' or trim(expediente)='9999999999' or trim(expediente)='99999999999' or trim(expediente)='999999999999' or trim(expediente)='9999999999999' or trim(expediente)='X' or trim(expediente)='XX' or trim(expediente)='XXX' or trim(expediente)='XXXX' or trim(expediente)='XXXXX' or trim(expediente)='XXXXXX' or trim(expediente)='XXXXXXX' or trim(expediente)='XXXXXXXX' or trim(expediente)='XXXXXXXXX' or trim(expediente)='XXXXXXXXXX' or trim(expediente)='XXXXXXXXXXX' or trim(expediente)='XXXXXXXXXXXX' or trim(expediente)='XXXXXXXXXXXXX'"}},
      {8, "Validacion8",
       "Egreso cuya CURP no está vacía y no tiene 18 caracteres.",
       {"select cedocve,clues,folio,egreso,CURP Into Validacion8 From egreso  WHERE Len(TRIM(CURP))<>0 AND Len(TRIM(CURP))<>18 "}},
      {9, "Validacion9",
       "Egreso cuyo tipo de servicio (tipserv) no es '1' ni '2'.",
       {"select cedocve,folio,clues,egreso,tipserv Into Validacion9 From egreso  WHERE tipserv NOT IN ('1','2') "}},
      {10, "Validacion10",
       "Egreso de tipo de servicio '2' cuyos días de estancia (dias_esta) no son 0.",
       {"select cedocve,folio,clues,egreso,tipserv,dias_esta Into Validacion10 From egreso  WHERE tipserv ='2' and dias_esta<>0 "}},
      {11, "Validacion11",
       "Egreso de tipo de servicio '1' con días de estancia (dias_esta) negativos.",
       {"select cedocve,folio,clues,egreso,tipserv,dias_esta Into Validacion11 From egreso  WHERE tipserv ='1' and dias_esta<0 "}},
      {12, "Validacion12",
       "Egreso con una clave de servicio que no está en CATSERVICIOS: servicioingre, servicio02 y servicio03 cuando están llenos, servicioegre siempre.",
       {"select cedocve,folio,clues,egreso,servicioingre,servicio02,servicio03,servicioegre Into Validacion12 From egreso Where (SERVICIOINGRE is not null AND TRIM(SERVICIOINGRE) <> '' AND SERVICIOINGRE NOT IN (SELECT CLAVE FROM CATSERVICIOS)) OR (SERVICIO02 is not null AND TRIM(SERVICIO02) <> '' AND SERVICIO02 NOT IN (SELECT CLAVE FROM CATSERVICIOS)) OR (SERVICIO03 is not null AND TRIM(SERVICIO03) <> '' AND SERVICIO03 NOT IN (SELECT CLAVE FROM CATSERVICIOS)) OR (SERVICIOEGRE NOT IN (SELECT CLAVE FROM CATSERVICIOS)) "}},
      {13, "Validacion13",
       "Paciente de más de 18 años que pasó por un servicio cuya clave empieza con '4' (servicioingre, servicio02, servicio03 o servicioegre).",
       {"select cedocve,folio,clues,egreso,cveedad,edad,servicioingre,servicio02,servicio03,servicioegre Into Validacion13 From egreso WHERE CVEEDAD='3' AND EDAD>18 AND (LEFT(SERVICIOINGRE,1)='4' OR LEFT(SERVICIO02,1)='4' OR LEFT(SERVICIO03,1)='4' OR LEFT(SERVICIOEGRE,1)='4')"}},
      {14, "Validacion14",
       "Paciente de sexo '1' que pasó por un servicio cuya clave empieza con '3' (servicioingre, servicio02, servicio03 o servicioegre).",
       {"select cedocve,folio,clues,egreso,cveedad,edad,servicioingre,servicio02,servicio03,servicioegre Into Validacion14 From egreso WHERE (LEFT(SERVICIOINGRE,1)='3' OR LEFT(SERVICIO02,1)='3' OR LEFT(SERVICIO03,1)='3' OR LEFT(SERVICIOEGRE,1)='3') AND  SEXO ='1' "}},
      {15, "Validacion15",
       "Egreso cuya procedencia (proced) no es '1', '2', '3', '4' ni '9'.",
       {"select cedocve,folio,clues,egreso,proced Into Validacion15 From egreso  WHERE proced NOT IN ('1','2','3','4','9') "}},
      {16, "Validacion16",
       "Egreso de procedencia '3' cuya unidad de origen (cluesproced) no está en CATCLUES.",
       {"select cedocve,folio,clues,egreso,proced,cluesproced Into Validacion16 From egreso  WHERE cluesproced NOT IN (select clues from catclues) AND proced='3' "}},
      {17, "Validacion17",
       "Egreso cuyo motivo de egreso (motegre) no es ninguno de '1' a '6' ni '9'.",
       {"select cedocve,folio,clues,egreso,motegre Into Validacion17 From egreso  WHERE motegre NOT IN ('1','2','3','4','5','6','9') "}},
      {18, "Validacion18",
       "Egreso por referencia (motegre '4') cuya unidad de destino (cluesreferido) no está en CATCLUES.",
       {"select cedocve,folio,clues,egreso,motegre,cluesreferido Into Validacion18 From egreso  WHERE cluesreferido NOT IN (select clues from catclues) AND motegre='4' "}},
      {19, "Validacion19",
       "Egreso por defunción (motegre '5') sin registro en DEFUNC o cuyo registro no tiene número de certificado (certif); una fila por registro de DEFUNC.",
       {"select a.cedocve,a.folio,a.clues,a.egreso,a.motegre,b.certif Into Validacion19 From egreso AS a left JOIN defunc as b ON a.folio=b.folio and a.clues=b.clues and a.egreso=B.egreso Where a.motegre='5' and b.certif IS NULL"}},
      {20, "Validacion20",
       "Egreso con causa externa (causaext) cuyo traumat no es '1', '2', '3', '4' ni '9' o cuyo lugar no es ninguno de '0' a '9'.",
       {"select cedocve,folio,clues,egreso,causaext,traumat,lugar Into Validacion20 From egreso  WHERE CAUSAEXT IS NOT NULL AND CAUSAEXT<>'' AND (traumat NOT IN ('1','2','3','4','9') OR lugar NOT IN ('0','1','2','3','4','5','6','7','8','9')) "}},
      {21, "Validacion21",
       "Egreso con causa externa (causaext) cuyo traumat o lugar está vacío.",
       {"select cedocve,folio,clues,egreso,causaext,traumat,lugar Into Validacion21 From egreso  WHERE causaext IS NOT NULL AND trim(causaext)<>'' AND ((traumat IS NULL OR trim(traumat)='') OR (lugar IS NULL OR trim(lugar)='')) "}},
      {22, "Validacion22",
       "Egreso cuyo campo vez no es '1', '2' ni '9'.",
       {"select cedocve,folio,clues,egreso,vez Into Validacion22 From egreso  WHERE vez NOT IN ('1','2','9')"}},
      {23, "Validacion23",
       "Egreso cuyo campo infec no es '1', '2' ni '9'.",
       {"select cedocve,folio,clues,egreso,infec Into Validacion23 From egreso  WHERE infec NOT IN ('1','2','9')"}},
      {24, "Validacion24",
       "Egreso con sa_labor lleno (ni vacío, ni '0', ni '00') cuyo paciente no es una mujer (sexo '2') de 10 a 54 años (cveedad '3'); la edad 999 se acepta.",
       {"select cedocve,folio,clues,egreso,cveedad,edad,sexo,sa_labor Into Validacion24 from egreso  WHERE (sa_labor IS NOT NULL AND trim(sa_labor)<>'' AND trim(sa_labor)<>'0' AND trim(sa_labor)<>'00' ) AND (SEXO <> '2' OR CVEEDAD <> '3' OR (SEXO = '2' AND CVEEDAD = '3' AND (EDAD <10 OR EDAD>54) AND EDAD<>999)) "}},
      {25, "Validacion25",
       "Egreso con sa_expul lleno (ni vacío, ni '0', ni '00') cuyo paciente no es una mujer (sexo '2') de 10 a 54 años (cveedad '3'); la edad 999 se acepta.",
       {"select cedocve,folio,clues,egreso,cveedad,edad,sexo,sa_expul Into Validacion25 from egreso  WHERE (sa_expul IS NOT NULL AND trim(sa_expul)<>'' AND trim(sa_expul)<>'0' AND trim(sa_expul)<>'00' ) AND (SEXO <> '2' OR CVEEDAD <> '3' OR (SEXO = '2' AND CVEEDAD = '3' AND (EDAD <10 OR EDAD>54) AND EDAD<>999)) "}},
      {26, "Validacion26",
       "Registro de OBSTET cuyo egreso no es de una mujer (sexo '2') de 10 a 54 años (cveedad '3'), la edad 999 aceptada; una fila por registro de OBSTET.",
       {"select e.cedocve,o.folio,o.clues,o.egreso,e.cveedad,e.edad,e.sexo Into Validacion26 from obstet as o inner join egreso as e on o.folio=e.folio and o.clues=e.clues and o.egreso=e.egreso WHERE e.SEXO <> '2' OR e.CVEEDAD <> '3' OR (e.SEXO = '2' AND e.CVEEDAD = '3' AND (e.EDAD <10 OR e.EDAD>54) AND e.EDAD<>999) "}},
  };
  // clang-format on
  return rules;
}

}  // namespace kolt::rules
