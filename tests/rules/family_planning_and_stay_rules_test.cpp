#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "rules/rule_fixture.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {
namespace {

using test::kNull;

// Rules 27 to 41: each case is a discharge whose folio names it; the family-planning block and
// the stay rules after it run alone, as they do in a whole run.
class FamilyPlanningRules : public RuleTest {
 protected:
  FamilyPlanningRules() : RuleTest(27, 41) {}

  // A discharge with the given diagnoses, procedures and further conditions.
  void discharge(std::string folio, std::string sexo, std::string diagIni, base::Value afecprin,
                 std::vector<std::string> procedures, std::vector<base::Value> conditions = {}) {
    db.egreso({{"folio", folio}, {"sexo", sexo}, {"diag_ini", diagIni}, {"afecprin", afecprin}});
    for (const std::string& p : procedures) db.procedimientos({{"promed", p}});
    for (const base::Value& a : conditions) db.afecciones({{"afec", a}});
  }
  void stay(std::string folio, base::Value afecprin, int days) {
    db.egreso({{"folio", folio}, {"afecprin", afecprin}, {"dias_esta", days}});
  }
};
using StayOutcomeRules = FamilyPlanningRules;

TEST_F(FamilyPlanningRules, ResultColumnsComeInTheStatedOrderAndNoWorkTableIsLeft) {
  const std::vector<std::string> before = db.tableNames();
  run();
  const std::string id = "cedocve,folio,clues,egreso";
  const std::map<int, std::string> expected = {
      {27, id + ",diag_ini,afecprin,afec,promed"},
      {28, id + ",promed,afec"},
      {29, id + ",planfam"},
      {30, id + ",planfam"},
      {31, id + ",sexo,diag_ini,afecprin,afec,promed"},
      {32, id + ",sexo,promed,afec"},
      {33, id + ",sexo,planfam,afec"},
      {34, id + ",sexo,planfam"},
      {35, id + ",sexo,diag_ini,afecprin,afec,promed"},
      {36, id + ",sexo,promed,afec"},
      {37, id + ",afecprin,dias_esta"},
      {38, id + ",afecprin,dias_esta"},
      {39, id + ",afecprin,motegre,diag_ini,afec"},
      {40, id + ",afecprin,motegre,diag_ini,afec,causabas"},
      {41, id + ",afecprin,motegre,causabas"},
  };
  std::vector<std::string> tables = before;
  for (const auto& [rule, columns] : expected) {
    std::string actual;
    for (const std::string& c : db.columns("Validacion" + std::to_string(rule)))
      actual += (actual.empty() ? "" : ",") + c;
    EXPECT_EQ(actual, columns) << "Validacion" << rule;
    tables.push_back("Validacion" + std::to_string(rule));
  }
  std::sort(tables.begin(), tables.end());
  EXPECT_EQ(db.tableNames(), tables);
}

TEST_F(FamilyPlanningRules, Z301AgainstProcedure697xAndMethod1) {
  discharge("diag3", "2", "Z301", "J189", {}, {"E119", "I10X", "N390"});
  discharge("afec-only", "2", "J189", "J189", {}, {"I10X", "z301"});
  discharge("no-afec", "2", "Z301", "J189", {"697X"});
  discharge("one-afec", "2", "Z301", "J189", {"697x"}, {"I10X"});
  discharge("proc-only", "1", "J189", "J189", {"697X", "4709"});
  discharge("null-afec", "2", "J189", "Z301", {"697x"}, {kNull, "I10X"});
  discharge("empty-afec", "2", "J189", "Z301", {"697x"}, {""});
  // Repeated conditions, in any letter case, make one Z301 row.
  discharge("dup-afec", "2", "Z301", "J189", {}, {"I10X", "i10x", "I10X"});
  // Child rows of another discharge date belong to no discharge.
  discharge("orphan", "2", "J189", "J189", {"697x"});
  db.afecciones({{"egreso", "2023-03-16 00:00:00"}, {"afec", "Z301"}});
  db.procedimientos({{"egreso", "2023-03-16 00:00:00"}, {"promed", "6973"}});

  discharge("pf1-none", "2", "J189", "J189", {});
  db.obstet({{"planfam", "1"}});
  discharge("pf1-prin-null", "2", "Z301", kNull, {"697x"}, {"I10X"});
  db.obstet({{"planfam", "1"}});
  discharge("pf1-ok", "2", "O800", "O800", {"697X"}, {"Z370", "Z301"});
  db.obstet({{"planfam", "1"}});
  discharge("pf1-noprod", "2", "J189", "J189", {});
  db.obstet({{"hayprod", 2}, {"planfam", "1"}});

  discharge("both-pf4", "2", "Z301", "J189", {"697x"}, {"I10X"});
  db.obstet({{"planfam", "4"}});
  discharge("pf-null", "2", "Z301", "J189", {"697x"}, {"I10X"});
  db.obstet({{"planfam", kNull}});
  discharge("noprod-pf4", "2", "Z301", "J189", {"697x"}, {"I10X"});
  db.obstet({{"hayprod", 2}, {"planfam", "4"}});
  discharge("two-events", "2", "Z301", "J189", {"697x"}, {"I10X"});
  db.obstet({{"planfam", "4"}}).obstet({{"planfam", "5"}}).obstet({{"planfam", "5"}});
  run();

  EXPECT_EQ(listed(27), (Folios{"afec-only", "diag3", "diag3", "diag3", "dup-afec"}));
  for (const std::vector<std::string>& row : db.rows("Validacion27"))
    EXPECT_EQ(row.at(7), "NULL");  // promed
  EXPECT_EQ(listed(28), (Folios{"no-afec", "null-afec", "orphan", "proc-only"}));
  EXPECT_EQ(listed(29), (Folios{"pf1-none", "pf1-prin-null"}));
  // One row per discharge and method, though Z301 and 697x each put the discharge in the union.
  EXPECT_EQ(listed(30), (Folios{"both-pf4", "two-events", "two-events"}));
}

TEST_F(FamilyPlanningRules, Z302AgainstItsProceduresByTheSexOfTheDischarge) {
  discharge("w-diag", "2", "Z302", "J189", {});
  discharge("w-ok", "2", "Z302", "J189", {"6632"}, {"I10X"});
  discharge("w-noafec", "2", "J189", "Z302", {"6629"});
  discharge("m-6639-z302", "1", "Z302", "J189", {"6639"}, {"I10X"});
  discharge("x9-diag", "9", "Z302", "Z302", {}, {"Z302"});
  discharge("x9-6632", "9", "J189", "J189", {"6632"});
  discharge("pf3-none", "2", "J189", "J189", {});
  db.obstet({{"planfam", "3"}});
  discharge("pf3-ok", "2", "J189", "Z302", {"6639"}, {"I10X"});
  db.obstet({{"planfam", "3"}});
  discharge("pf-other", "2", "Z302", "J189", {"6639"}, {"I10X"});
  db.obstet({{"planfam", "1"}});
  discharge("m-pf-other", "1", "J189", "J189", {"6639"});
  db.obstet({{"planfam", "4"}});
  discharge("w-pf-null", "2", "Z302", "J189", {"6639"}, {"I10X"});
  db.obstet({{"planfam", kNull}});

  discharge("m-diag", "1", "J189", "J189", {}, {"I10X", "Z302"});
  discharge("m-ok", "1", "Z302", "J189", {"6374"}, {"I10X"});
  discharge("m-noafec", "1", "Z302", "J189", {"6373"});
  discharge("w-6373", "2", "J189", "J189", {"6373"});
  run();

  EXPECT_EQ(listed(31), (Folios{"w-diag"}));
  EXPECT_EQ(listed(32), (Folios{"m-6639-z302", "m-pf-other", "w-noafec", "x9-6632"}));
  EXPECT_EQ(listed(33), (Folios{"pf3-none"}));
  EXPECT_EQ(db.rows("Validacion33")[0].at(6), "NULL");  // afec
  EXPECT_EQ(listed(34), (Folios{"m-pf-other", "pf-other"}));
  EXPECT_EQ(listed(35), (Folios{"m-6639-z302", "m-diag"}));
  EXPECT_EQ(listed(36), (Folios{"m-noafec", "w-6373"}));
}

TEST_F(StayOutcomeRules, LongStaysByPrincipalDiagnosisGroupInStatementOrder) {
  // Added against statement order, so the result order shows the statements'.
  stay("K92", "K92", 7);
  stay("K920", "K920", 7);
  stay("Z380", "Z380", 7);
  stay("Z370", "Z370", 30);
  stay("Z301", "Z301", 7);
  stay("E119", "E119", 7);
  stay("E118", "E118", 7);
  stay("E11", "E11", 7);
  stay("A09X", "A09X", 7);
  stay("R000", "R000", 7);
  stay("R95", "R95", 7);
  stay("O800-6", "O800", 6);
  stay("O800-7", "O800", 7);
  stay("o84x", "o84x", 7);
  stay("O85X", "O85X", 7);

  stay("F200-90", "F200", 90);
  stay("J189-60", "J189", 60);
  stay("J189-61", "J189", 61);
  stay("null-90", kNull, 90);
  stay("empty-90", "", 90);
  run();

  EXPECT_EQ(db.column("Validacion37", "folio"),
            (Folios{"O800-7", "o84x", "R000", "A09X", "E119", "Z301", "Z380", "K92", "K920"}));
  EXPECT_EQ(listed(38), (Folios{"J189-61", "empty-90"}));
}

TEST_F(StayOutcomeRules, OutcomeCodesRowPerJoinedChildRow) {
  db.egreso({{"folio", "o95-death"}, {"afecprin", "O95X"}, {"motegre", "5"}});
  db.egreso({{"folio", "o95-null-motegre"}, {"afecprin", "O95X"}, {"motegre", kNull}});
  db.egreso({{"folio", "o96-afec"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "O961"}}).afecciones({{"afec", "E119"}});
  db.egreso({{"folio", "o95-prin"}, {"afecprin", "o95x"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "E119"}}).afecciones({{"afec", "N390"}});
  db.egreso({{"folio", "o97-ini"}, {"diag_ini", "O970"}});

  db.egreso({{"folio", "p95-prin"}, {"afecprin", "P95X"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "E119"}}).defunc({{"causabas", "P95X"}});
  db.egreso({{"folio", "p950-afec"}});
  db.afecciones({{"afec", "I10X"}}).afecciones({{"afec", "P950"}});
  db.egreso({{"folio", "p96"}, {"afecprin", "P969"}});

  db.egreso({{"folio", "s-no-defunc"}, {"afecprin", "S720"}});
  db.egreso({{"folio", "s-null-cause"}, {"afecprin", "S720"}});
  db.defunc({{"causabas", kNull}});
  db.egreso({{"folio", "t-w"}, {"afecprin", "T510"}});
  db.defunc({{"causabas", "w019"}});
  db.egreso({{"folio", "s-i21"}, {"afecprin", "s720"}});
  db.defunc({{"causabas", "I219"}});
  db.egreso({{"folio", "t-two"}, {"afecprin", "T509"}});
  db.defunc({{"causabas", "I219"}}).defunc({{"causabas", "X600"}});
  run();

  EXPECT_EQ(listed(39), (Folios{"o95-prin", "o95-prin", "o95-prin", "o96-afec", "o97-ini"}));
  // o96-afec's one row carries the condition that holds the code.
  for (const std::vector<std::string>& row : db.rows("Validacion39"))
    EXPECT_TRUE(row.at(1) != "o96-afec" || row.at(7) == "O961");
  EXPECT_EQ(listed(40), (Folios{"p95-prin", "p95-prin", "p950-afec"}));
  EXPECT_EQ(listed(41), (Folios{"s-i21", "t-two"}));
}

}  // namespace
}  // namespace kolt::rules
