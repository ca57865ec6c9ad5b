#include <gtest/gtest.h>

#include <algorithm>

#include "rules/rule_fixture.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {
namespace {

using test::kNull;

// Each procedure row's discharge has a folio that names its case.
class ProcedureRules : public RuleTest {
 protected:
  ProcedureRules() : RuleTest(81, 84) {}

  void cie9(std::string clave, test::Cells more = {}) {
    more.insert(more.end(), {{"CVE_PROC", clave}, {"DESCRIP", "Descripción de " + clave}});
    db.insert("CATCIE9MC", more);
  }
};

TEST_F(ProcedureRules, LengthAndCatalogueHaveNoGuardAgainstEmptyCodes) {
  cie9("4709");
  cie9("470");
  cie9("697X");
  for (const auto& [folio, promed] :
       std::vector<std::pair<std::string, base::Value>>{{"ok", "4709"},
                                                        {"lower-case", "697x"},
                                                        {"empty", ""},
                                                        {"null", kNull},
                                                        {"blank", " 4709"},
                                                        {"short-known", "470"},
                                                        {"short-unknown", "47 "}}) {
    db.egreso({{"folio", folio}});
    db.procedimientos({{"promed", promed}});
  }
  run();
  EXPECT_EQ(columns(81), "folio,clues,egreso,promed");
  EXPECT_EQ(columns(82), "folio,clues,egreso,promed");
  EXPECT_EQ(listed(81), (Folios{"empty", "short-known", "short-unknown"}));
  EXPECT_EQ(listed(82), (Folios{"blank", "empty", "null", "short-unknown"}));
}

TEST_F(ProcedureRules, SexLimitIsTheDischargesSex) {
  cie9("6639", {{"sexo", " 2"}});
  cie9("6029", {{"sexo", "1"}});
  cie9("4709", {{"sexo", "9"}});
  db.egreso({{"folio", "man-6639"}, {"sexo", "1"}, {"cedocve", "15"}});
  db.procedimientos({{"promed", "6639"}});
  db.procedimientos({{"promed", "4709"}});
  db.egreso({{"folio", "woman-6029"}, {"sexo", "2"}});
  db.procedimientos({{"promed", "6029"}});
  db.procedimientos({{"promed", "6029"}, {"egreso", "2023-03-16 00:00:00"}});  // no discharge
  db.egreso({{"folio", "null-6639"}, {"sexo", kNull}});
  db.procedimientos({{"promed", "6639"}});
  run();
  EXPECT_EQ(columns(83), "cedocve,folio,clues,egreso,sexo,promed");
  EXPECT_EQ(listed(83), (Folios{"man-6639", "woman-6029"}));
  EXPECT_EQ(db.rows("Validacion83")[0],
            (std::vector<std::string>{"15", "man-6639", std::string(test::kClues),
                                      std::string(test::kEgreso), "1", "6639"}));
}

TEST_F(ProcedureRules, AgeLimitRanksUnitsAndListsYearsOutsideYearsTwice) {
  cie9("YRS", {{"cve_edi", "3"}, {"cve_edf", " 3"}, {"edad_i", 12}, {"edad_f", 54}});
  cie9("ZERO", {{"cve_edi", "3"}, {"cve_edf", "3"}, {"edad_i", 0}, {"edad_f", 120}});
  cie9("NULL", {{"cve_edi", "3"}, {"cve_edf", "2"}, {"edad_i", kNull}, {"edad_f", kNull}});
  cie9("DAYS", {{"cve_edi", "0"}, {"cve_edf", "1"}, {"edad_i", 6}, {"edad_f", 28}});
  cie9("NONE", {{"cve_edi", "A"}, {"cve_edf", ""}, {"edad_i", 10}, {"edad_f", 20}});
  const std::vector<std::tuple<std::string, std::string, base::Value, int>> cases = {
      {"YRS-a11", "YRS", "3", 11},   {"YRS-a12", "YRS", "3", 12}, {"YRS-a55", "YRS", "3", 55},
      {"YRS-a999", "YRS", "3", 999}, {"YRS-m5", "YRS", "2", 5},   {"YRS-u4", "YRS", "4", 1},
      {"YRS-null", "YRS", kNull, 1}, {"ZERO-h0", "ZERO", "0", 0}, {"ZERO-d5", "ZERO", "1", 5},
      {"ZERO-a0", "ZERO", "3", 0},   {"NULL-a1", "NULL", "3", 1}, {"NULL-m2", "NULL", "2", 2},
      {"NULL-d2", "NULL", "1", 2},   {"DAYS-h5", "DAYS", "0", 5}, {"DAYS-d29", "DAYS", "1", 29},
      {"DAYS-d28", "DAYS", "1", 28}, {"DAYS-m1", "DAYS", "2", 1}, {"NONE-a30", "NONE", "3", 30}};
  for (const auto& [folio, code, cveedad, edad] : cases) {
    db.egreso({{"folio", folio}, {"cveedad", cveedad}, {"edad", edad}});
    db.procedimientos({{"promed", code}});
  }
  db.procedimientos({{"promed", "YRS"}, {"folio", "orphan"}});
  run();
  EXPECT_EQ(columns(84), "cedocve,folio,clues,egreso,cveedad,edad,promed");
  EXPECT_EQ(listed(84), (Folios{"DAYS-d29", "DAYS-h5", "DAYS-m1", "NULL-a1", "NULL-d2", "NULL-m2",
                                "YRS-a11", "YRS-a11", "YRS-a55", "YRS-a55", "YRS-a999", "YRS-a999",
                                "YRS-m5", "ZERO-d5", "ZERO-h0"}));
}

}  // namespace
}  // namespace kolt::rules
