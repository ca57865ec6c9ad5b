#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "rules/rule_fixture.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {
namespace {

using test::kClues;
using test::kEgreso;
using test::kNull;

// Each test adds discharges whose folio names their case, runs one rule alone (so that another
// rule's fault fails only that rule's tests) and reads back the folios it listed.
class DischargeRules : public RuleTest {
 protected:
  DischargeRules() : RuleTest(1, 26) {}

  test::WorkingDb& woman(std::string folio, std::string cveedad, int edad, test::Cells more = {}) {
    more.insert(more.end(),
                {{"folio", folio}, {"sexo", "2"}, {"cveedad", cveedad}, {"edad", edad}});
    return db.egreso(more);
  }
};

TEST_F(DischargeRules, ResultColumnsComeInTheStatedOrder) {
  const std::string id = "cedocve,folio,clues,egreso";
  const std::string services = "servicioingre,servicio02,servicio03,servicioegre";
  const std::map<int, std::string> expected = {
      {1, id + ",cveedad,edad"},
      {2, id + ",cveedad,edad,nacioen"},
      {3, id + ",sexo"},
      {4, id + ",derhab"},
      {5, id + ",derhab,spss,spss_dv"},
      {6, id + ",entidad,munic,loc"},
      {7, id + ",expediente"},
      {8, "cedocve,clues,folio,egreso,CURP"},
      {9, id + ",tipserv"},
      {10, id + ",tipserv,dias_esta"},
      {11, id + ",tipserv,dias_esta"},
      {12, id + "," + services},
      {13, id + ",cveedad,edad," + services},
      {14, id + ",cveedad,edad," + services},
      {15, id + ",proced"},
      {16, id + ",proced,cluesproced"},
      {17, id + ",motegre"},
      {18, id + ",motegre,cluesreferido"},
      {19, id + ",motegre,certif"},
      {20, id + ",causaext,traumat,lugar"},
      {21, id + ",causaext,traumat,lugar"},
      {22, id + ",vez"},
      {23, id + ",infec"},
      {24, id + ",cveedad,edad,sexo,sa_labor"},
      {25, id + ",cveedad,edad,sexo,sa_expul"},
      {26, id + ",cveedad,edad,sexo"},
  };
  for (const auto& [rule, expectedColumns] : expected) {
    run(rule, rule);
    EXPECT_EQ(columns(rule), expectedColumns) << "Validacion" << rule;
  }
}

TEST_F(DischargeRules, NullCodesPassNotInWhileEmptyOnesAreListed) {
  for (const char* column :
       {"cveedad", "sexo", "derhab", "tipserv", "proced", "motegre", "vez", "infec"}) {
    db.egreso({{"folio", std::string(column) + "-null"}, {column, kNull}});
    db.egreso({{"folio", std::string(column) + "-empty"}, {column, ""}});
  }
  const std::map<int, std::string> ruleOf = {{1, "cveedad"}, {3, "sexo"},    {4, "derhab"},
                                             {9, "tipserv"}, {15, "proced"}, {17, "motegre"},
                                             {22, "vez"},    {23, "infec"}};
  for (const auto& [rule, column] : ruleOf) {
    const Folios folios = listedAlone(rule);
    EXPECT_NE(std::find(folios.begin(), folios.end(), column + "-empty"), folios.end()) << rule;
    EXPECT_EQ(std::find(folios.begin(), folios.end(), column + "-null"), folios.end()) << rule;
  }
}

TEST_F(DischargeRules, Rule1AgeBoundsPerUnit) {
  const std::vector<std::tuple<std::string, std::string, int>> ages = {
      {"h0", "0", 0},     {"h23", "0", 23}, {"h24", "0", 24},   {"d0", "1", 0},
      {"d29", "1", 29},   {"d30", "1", 30}, {"m0", "2", 0},     {"m11", "2", 11},
      {"m12", "2", 12},   {"a0", "3", 0},   {"a130", "3", 130}, {"a131", "3", 131},
      {"a999", "3", 999}, {"u4", "4", 5},   {"aneg", "3", -1}};
  for (const auto& [folio, unit, age] : ages)
    db.egreso({{"folio", folio}, {"cveedad", unit}, {"edad", age}});
  EXPECT_EQ(listedAlone(1),
            (Folios{"a0", "a131", "a999", "aneg", "d0", "d30", "h0", "h24", "m0", "m12", "u4"}));
}

TEST_F(DischargeRules, Rule2NacioenAgainstAgeWithEachStatementsRowsInTurn) {
  db.egreso({{"folio", "m3-1"}, {"cveedad", "2"}, {"edad", 3}, {"nacioen", "1"}});
  db.egreso({{"folio", "m4-1"}, {"cveedad", "2"}, {"edad", 4}, {"nacioen", "1"}});
  db.egreso({{"folio", "a30-2"}, {"cveedad", "3"}, {"edad", 30}, {"nacioen", "2"}});
  db.egreso({{"folio", "m3-9"}, {"cveedad", "2"}, {"edad", 3}, {"nacioen", "9"}});
  db.egreso({{"folio", "h5-1"}, {"cveedad", "0"}, {"edad", 5}, {"nacioen", "1"}});
  db.egreso({{"folio", "d5-null"}, {"cveedad", "1"}, {"edad", 5}, {"nacioen", kNull}});
  db.egreso({{"folio", "d5-empty"}, {"cveedad", "1"}, {"edad", 5}, {"nacioen", ""}});
  run(2, 2);
  // The first statement's rows, then the second's.
  EXPECT_EQ(db.column("Validacion2", "folio"), (Folios{"m4-1", "a30-2", "m3-9", "d5-empty"}));
}

TEST_F(DischargeRules, Rule5AffiliationNumberAgainstEntitlement) {
  db.egreso({{"folio", "8-nines"}, {"derhab", "8"}, {"spss", "9999999999"}, {"spss_dv", "99"}});
  db.egreso({{"folio", "8-null"}, {"derhab", "8"}, {"spss", kNull}, {"spss_dv", "12"}});
  db.egreso({{"folio", "8-ok"}, {"derhab", "8"}, {"spss", "1234567890"}, {"spss_dv", "12"}});
  db.egreso({{"folio", "8-short"}, {"derhab", "8"}, {"spss", " 123456789 "}, {"spss_dv", "12"}});
  db.egreso({{"folio", "8-dv1"}, {"derhab", "8"}, {"spss", "1234567890"}, {"spss_dv", "1"}});
  db.egreso({{"folio", "G-blank"}, {"derhab", "G"}, {"spss", "1234567890"}, {"spss_dv", "  "}});
  db.egreso({{"folio", "G-dv"}, {"derhab", "G"}, {"spss", "1234567890"}, {"spss_dv", "1"}});
  db.egreso({{"folio", "G-short"}, {"derhab", "G"}, {"spss", "12345"}, {"spss_dv", ""}});
  db.egreso({{"folio", "1-any"}, {"derhab", "1"}, {"spss", "1"}, {"spss_dv", "1"}});
  EXPECT_EQ(listedAlone(5), (Folios{"8-dv1", "8-nines", "8-short", "G-dv", "G-short"}));
}

TEST_F(DischargeRules, Rule6LocalityNeedsACatalogueRowWithADescription) {
  db.insert("CATLOCAL", {{"edo", "09"}, {"mpo", "003"}, {"Loc", "0001"}, {"descrip", kNull}});
  db.egreso({{"folio", "known"}});
  db.egreso({{"folio", "unknown"}, {"loc", "0002"}});
  db.egreso({{"folio", "nameless"}, {"munic", "003"}});
  db.egreso({{"folio", "null-loc"}, {"loc", kNull}});
  EXPECT_EQ(listedAlone(6), (Folios{"nameless", "null-loc", "unknown"}));
  const std::vector<std::string> nameless{
      "09", "nameless", std::string(kClues), std::string(kEgreso), "09", "003", "0001"};
  const auto rows = db.rows("Validacion6");
  EXPECT_NE(std::find(rows.begin(), rows.end(), nameless), rows.end());
}

TEST_F(DischargeRules, Rule7RecordNumberRunsOfNinesAndX) {
  const std::string x13(13, 'X'), nines13(13, '9'), nines14(14, '9');
  for (const std::string& e :
       {std::string("XXXX"), std::string("9999"), std::string("AB"), std::string("X9X"),
        std::string("ABC"), std::string("  999  "), x13, nines13, nines14})
    db.egreso({{"folio", e}, {"expediente", e}});
  db.egreso({{"folio", "null"}, {"expediente", kNull}});
  db.egreso({{"folio", "blank"}, {"expediente", "   "}});
  // A run of 14 is not in the list; a run inside blanks is judged trimmed.
  EXPECT_EQ(listedAlone(7),
            (Folios{"  999  ", "9999", nines13, "AB", "XXXX", x13, "blank", "null"}));
}

TEST_F(DischargeRules, Rule8CurpEitherEmptyOrEighteen) {
  db.egreso({{"folio", "spaces"}, {"CURP", "      "}});
  db.egreso({{"folio", "17"}, {"CURP", std::string(17, 'A')}});
  db.egreso({{"folio", "18"}, {"CURP", " " + std::string(18, 'A') + " "}});
  db.egreso({{"folio", "19"}, {"CURP", std::string(19, 'A')}});
  EXPECT_EQ(listedAlone(8), (Folios{"17", "19"}));
}

TEST_F(DischargeRules, Rule12EmptyServicesCountOnlyForTheDischargeService) {
  db.egreso({{"folio", "egre-empty"}, {"servicioegre", ""}});
  db.egreso({{"folio", "egre-null"}, {"servicioegre", kNull}});
  db.egreso({{"folio", "ingre-empty"}, {"servicioingre", ""}});
  db.egreso({{"folio", "03-blank"}, {"servicio03", "  "}});
  db.egreso({{"folio", "02-unknown"}, {"servicio02", "99"}});
  db.egreso({{"folio", "02-known"}, {"servicio02", "20"}});
  EXPECT_EQ(listedAlone(12), (Folios{"02-unknown", "egre-empty"}));
}

TEST_F(DischargeRules, Rules13And14ServiceFamiliesByAgeAndSex) {
  db.egreso({{"folio", "a18"}, {"edad", 18}, {"servicioegre", "40"}});
  db.egreso({{"folio", "a19"}, {"edad", 19}, {"servicioegre", "40"}});
  db.egreso({{"folio", "a19-03"}, {"edad", 19}, {"servicio03", "41"}});
  db.egreso({{"folio", "m30"}, {"cveedad", "2"}, {"edad", 30}, {"servicioingre", "40"}});
  db.egreso({{"folio", "man-3"}, {"sexo", "1"}, {"servicio02", "30"}});
  db.egreso({{"folio", "woman-3"}, {"sexo", "2"}, {"servicio02", "30"}});
  EXPECT_EQ(listedAlone(13), (Folios{"a19", "a19-03"}));
  EXPECT_EQ(listedAlone(14), Folios{"man-3"});
}

TEST_F(DischargeRules, Rules16And18UnitCodesOnlyForTheirOwnCodes) {
  db.egreso({{"folio", "p3-bad"}, {"proced", "3"}, {"cluesproced", "XXSSA999999"}});
  db.egreso({{"folio", "p3-ok"}, {"proced", "3"}, {"cluesproced", std::string(kClues)}});
  db.egreso({{"folio", "p3-null"}, {"proced", "3"}, {"cluesproced", kNull}});
  db.egreso({{"folio", "p1-bad"}, {"proced", "1"}, {"cluesproced", "XXSSA999999"}});
  db.egreso({{"folio", "m4-bad"}, {"motegre", "4"}, {"cluesreferido", "XXSSA999999"}});
  db.egreso({{"folio", "m4-empty"}, {"motegre", "4"}, {"cluesreferido", ""}});
  db.egreso({{"folio", "m4-ok"}, {"motegre", "4"}, {"cluesreferido", std::string(kClues)}});
  db.egreso({{"folio", "m4-null"}, {"motegre", "4"}, {"cluesreferido", kNull}});
  EXPECT_EQ(listedAlone(16), Folios{"p3-bad"});
  EXPECT_EQ(listedAlone(18), (Folios{"m4-bad", "m4-empty"}));
}

TEST_F(DischargeRules, Rule19OneRowPerDeathRecordWithoutCertificate) {
  db.egreso({{"folio", "none"}, {"motegre", "5"}});
  db.egreso({{"folio", "two"}, {"motegre", "5"}})
      .defunc({{"certif", kNull}})
      .defunc({{"certif", kNull}});
  db.egreso({{"folio", "ok"}, {"motegre", "5"}}).defunc();
  db.egreso({{"folio", "other-date"}, {"motegre", "5"}})
      .defunc({{"egreso", "2023-03-16 00:00:00"}});
  db.egreso({{"folio", "alive"}, {"motegre", "1"}});
  EXPECT_EQ(listedAlone(19), (Folios{"none", "other-date", "two", "two"}));
  for (const std::string& certif : db.column("Validacion19", "certif")) EXPECT_EQ(certif, "NULL");
}

TEST_F(DischargeRules, Rules20And21InvalidAndMissingExternalCauseFieldsApart) {
  db.egreso({{"folio", "t-null"}, {"causaext", "W010"}, {"traumat", kNull}, {"lugar", "1"}});
  db.egreso({{"folio", "t5"}, {"causaext", "W010"}, {"traumat", "5"}, {"lugar", "1"}});
  db.egreso({{"folio", "l-empty"}, {"causaext", "W010"}, {"traumat", "1"}, {"lugar", ""}});
  db.egreso({{"folio", "no-cause"}, {"causaext", ""}, {"traumat", "5"}, {"lugar", kNull}});
  db.egreso({{"folio", "ok"}, {"causaext", "W010"}, {"traumat", "9"}, {"lugar", "0"}});
  EXPECT_EQ(listedAlone(20), (Folios{"l-empty", "t5"}));
  EXPECT_EQ(listedAlone(21), (Folios{"l-empty", "t-null"}));
}

TEST_F(DischargeRules, Rules24To26PregnancyFieldsOnlyForWomenOfTenToFiftyFour) {
  auto both = test::Cells{{"sa_labor", "1"}, {"sa_expul", "1"}};
  woman("w999", "3", 999, both);
  woman("w9", "3", 9, both);
  woman("w10", "3", 10, both);
  woman("w54", "3", 54, both);
  woman("w55", "3", 55, both);
  woman("wm", "2", 20, both);
  db.egreso({{"folio", "man"}, {"sexo", "1"}, {"sa_labor", "1"}, {"sa_expul", "1"}});
  db.egreso({{"folio", "man-00"}, {"sexo", "1"}, {"sa_labor", "00"}, {"sa_expul", " 0 "}});
  db.egreso({{"folio", "man-blank"}, {"sexo", "1"}, {"sa_labor", " "}, {"sa_expul", kNull}});
  const Folios expected{"man", "w55", "w9", "wm"};
  EXPECT_EQ(listedAlone(24), expected);
  EXPECT_EQ(listedAlone(25), expected);
}

TEST_F(DischargeRules, Rule26OneRowPerObstetricRecordOfItsDischarge) {
  woman("w30", "3", 30).obstet();
  woman("w999", "3", 999).obstet();
  db.egreso({{"folio", "man"}, {"sexo", "1"}}).obstet().obstet();
  db.egreso({{"folio", "man-other-date"}, {"sexo", "1"}})
      .obstet({{"egreso", "2023-03-16 00:00:00"}});
  woman("w55", "3", 55).obstet();
  EXPECT_EQ(listedAlone(26), (Folios{"man", "man", "w55"}));
}

}  // namespace
}  // namespace kolt::rules
