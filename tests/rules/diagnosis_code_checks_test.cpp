#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "rules/rule_fixture.h"
#include "rules/rule_plan.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {
namespace {

using test::kNull;

TEST(DiagnosisCodePlan, FivePassesNumberTheirChecksFromFortyTwoToEighty) {
  const std::vector<PlannedRule> plan = planRules(ruleCatalogue());
  // A fragment only one check's first statement holds, for every check.
  const std::map<std::string, std::string> fragment = {{"1a", "NOT IN ('V','W','X','Y')"},
                                                       {"1b", "IN ('S','T','U','Z')"},
                                                       {"1c", "trim(b.no_aph)='T'"},
                                                       {"1d", "1) IN ('V','W','X','Y')"},
                                                       {"2", "LEN(TRIM("},
                                                       {"3", "trim(b.actualizac)='B'"},
                                                       {"4", "b.NOMBRE IS NULL"},
                                                       {"5", "trim(b.no_cbd)='T'"},
                                                       {"6", "trim(b.errad)='T'"},
                                                       {"7", "IN ('A22','A36','A80')"},
                                                       {"8", "TRIM(b.lsex) = '2'"},
                                                       {"9", "CInt(left(trim(b.linf),3))"}};
  const std::vector<std::pair<std::string, std::vector<std::string>>> passes = {
      {"Egreso", {"1c", "2", "3", "4", "6", "7", "8", "9"}},
      {"Egreso", {"1a", "2", "3", "4", "8", "9"}},
      {"Egreso", {"1d", "2", "3", "4", "6", "7", "8", "9"}},
      {"Defunc", {"1b", "2", "3", "4", "5", "6", "7", "8", "9"}},
      {"Afecciones", {"1d", "2", "3", "4", "6", "7", "8", "9"}}};
  const auto numbered = [&](int n) {
    return std::find_if(plan.begin(), plan.end(), [n](auto& r) { return r.number == n; });
  };
  auto rule = numbered(42);
  ASSERT_NE(rule, plan.end());
  for (const auto& [table, checks] : passes) {
    for (const std::string& check : checks) {
      SCOPED_TRACE("Validacion" + std::to_string(rule->number) + " check " + check);
      const std::string& first = rule->statements[0];
      EXPECT_NE(first.find(fragment.at(check)), std::string::npos) << first;
      EXPECT_EQ(rule->statements.size(), check == "8" ? 2u : check == "9" ? 9u : 1u);
      // A child table's sex and age checks join it to its discharge.
      const bool joined = table != "Egreso" && (check == "8" || check == "9");
      EXPECT_NE(first.find((joined ? "From (" : "From ") + table + " "), std::string::npos);
      ++rule;
    }
  }
  EXPECT_EQ(rule->number, 81);
  EXPECT_EQ(numbered(79)->description,
            "Código de Afecciones.Afec que CATCIE10 admite solo en un sexo (lsex), en un egreso de "
            "otro sexo (EGRESO.sexo).");
}

// Each case is a discharge (or child row) whose folio names it; the tests run one rule alone (so
// that another rule's fault fails only that rule's tests) and read back the folios it listed,
// duplicates kept.
class DiagnosisCodeRules : public RuleTest {
 protected:
  DiagnosisCodeRules() : RuleTest(42, 80) {}

  void cie10(std::string causa, test::Cells more = {}) {
    more.insert(more.end(), {{"CAUSA", causa}, {"NOMBRE", "Nombre de " + causa}});
    db.insert("CATCIE10", more);
  }
};

// The numbering is the plan's to show, and making every table the frame's.
TEST_F(DiagnosisCodeRules, CleanDischargeFindsNothingAndColumnsAreNamedAsTheStatementWritesThem) {
  db.egreso({{"folio", "clean"}});
  EXPECT_TRUE(run().findings().empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "Val.xls"));
  // A column is named as the statement writes it: the pass's field text.
  const std::vector<std::pair<int, std::string>> expected = {
      {42, "folio,clues,egreso,Afecprin"},
      {48, "cedocve,folio,clues,egreso,sexo,Afecprin"},
      {49, "cedocve,folio,clues,egreso,cveedad,edad,Afecprin"},
      {50, "cedocve,folio,clues,egreso,Causaext"},
      {51, "folio,clues,egreso,Causaext"},
      {63, "cedocve,folio,clues,egreso,cveedad,edad,diag_ini"},
      {70, "folio,clues,egreso,Causabas"},
      {71, "cedocve,folio,clues,egreso,sexo,Causabas"},
      {80, "cedocve,folio,clues,egreso,cveedad,edad,Afec"}};
  for (const auto& [rule, expectedColumns] : expected)
    EXPECT_EQ(columns(rule), expectedColumns) << "Validacion" << rule;
}

TEST_F(DiagnosisCodeRules, CodeChecksOfThePrincipalCondition) {
  cie10("K35", {});                      // catalogued, yet too short
  cie10("R99X", {{"no_aph", " T"}});     // flags are trimmed...
  cie10("Z370", {{"no_aph", "t"}});      // ...and compared ignoring case
  cie10("K319", {{"actualizac", "b"}});  // given up
  cie10("B03X", {{"errad", "T"}});       // eradicated
  cie10("w019", {});                     // an external cause, lower-case key
  cie10("A920", {});
  for (const char* code : {"K35", "R99X", "Z370", "K319", "B03X", "A920", "A229"})
    db.egreso({{"folio", code}, {"afecprin", code}});
  db.egreso({{"folio", "null"}, {"afecprin", kNull}});
  db.egreso({{"folio", "empty"}, {"afecprin", ""}});
  db.egreso({{"folio", "blank-R99X"}, {"afecprin", " R99X"}});  // joins compare untrimmed
  db.egreso({{"folio", "blank-A920"}, {"afecprin", " A920"}});  // and so does the list
  db.egreso({{"folio", "W019"}, {"afecprin", "W019"}});         // no letter check in this pass
  db.egreso({{"folio", "r99x"}, {"afecprin", "r99x"}});         // joined ignoring case
  EXPECT_EQ(listedAlone(42), (Folios{"R99X", "Z370", "r99x"}));
  EXPECT_EQ(listedAlone(43), (Folios{"K35"}));
  EXPECT_EQ(listedAlone(44), (Folios{"K319"}));
  EXPECT_EQ(listedAlone(45), (Folios{"A229", "blank-A920", "blank-R99X"}));
  EXPECT_EQ(listedAlone(46), (Folios{"B03X"}));
  EXPECT_EQ(listedAlone(47), (Folios{"A229", "A920"}));
}

TEST_F(DiagnosisCodeRules, FirstCharacterChecksTrimAndEmptyCodesAreNeverListed) {
  cie10("W019");
  for (const auto& [folio, causaext, diag] :
       std::vector<std::tuple<std::string, base::Value, base::Value>>{
           {"ext-ok", "W019", "J189"},
           {"ext-blank-ok", " W019", "J189"},
           {"ext-J", "J189", "J189"},
           {"ext-empty", "", ""},
           {"ext-null", kNull, kNull},
           {"diag-blank-x", kNull, "  x590"}})
    db.egreso({{"folio", folio}, {"causaext", causaext}, {"diag_ini", diag}});
  EXPECT_EQ(listedAlone(50), (Folios{"ext-J"}));
  EXPECT_EQ(listedAlone(53), (Folios{"ext-blank-ok"}));
  EXPECT_EQ(listedAlone(56), (Folios{"diag-blank-x"}));
  EXPECT_EQ(listedAlone(59), (Folios{"diag-blank-x"}));
  for (int rule : {51, 52, 54, 55, 57, 58, 60, 61, 62, 63})
    EXPECT_EQ(listedAlone(rule), Folios{}) << rule;
}

TEST_F(DiagnosisCodeRules, ChildTablePassesJudgeEveryRow) {
  cie10("I219");
  cie10("E119");
  cie10("S720", {{"no_cbd", "T"}});
  cie10("R99X", {{"no_cbd", "T"}, {"errad", "T"}});
  db.egreso({{"folio", "death"}}).defunc({{"causabas", "R99X"}}).defunc({{"causabas", "A229"}});
  db.defunc({{"causabas", " s720"}});  // a letter S behind a blank, and no catalogue row as written
  db.egreso({{"folio", "two-bad"}}).afecciones({{"afec", "V01"}}).afecciones({{"afec", "E119"}});
  db.afecciones({{"afec", kNull}});
  db.afecciones({{"afec", "XX1"}});  // an external-cause letter, too short, not catalogued
  EXPECT_EQ(listedAlone(64), (Folios{"death"}));
  EXPECT_EQ(listedAlone(65), Folios{});
  EXPECT_EQ(listedAlone(67), (Folios{"death", "death"}));
  EXPECT_EQ(listedAlone(68), (Folios{"death"}));
  EXPECT_EQ(listedAlone(69), (Folios{"death"}));
  EXPECT_EQ(listedAlone(70), (Folios{"death"}));
  EXPECT_EQ(listedAlone(73), (Folios{"two-bad", "two-bad"}));
  EXPECT_EQ(listedAlone(74), (Folios{"two-bad", "two-bad"}));
  EXPECT_EQ(listedAlone(76), (Folios{"two-bad", "two-bad"}));
}

TEST_F(DiagnosisCodeRules, AgeLimitRanksUnitsAndListsYearsOutsideYearsTwice) {
  const std::vector<std::tuple<std::string, base::Value, base::Value>> codes = {
      {"Y010", "010A", "054A"}, {"Y000", "000A", kNull},  {"M002", kNull, "002M"},
      {"D028", "005D", "028D"}, {"H023", "006H", "023H"}, {"NOU", "010", " 054a "},
      {"BAD", " 05A", "054A"}};
  for (const auto& [code, linf, lsup] : codes) cie10(code, {{"linf", linf}, {"lsup", lsup}});
  const std::vector<std::tuple<std::string, std::string, base::Value, int>> ages = {
      {"Y010-a9", "Y010", "3", 9},     {"Y010-a10", "Y010", "3", 10},
      {"Y010-a55", "Y010", "3", 55},   {"Y010-a999", "Y010", "3", 999},
      {"Y010-m500", "Y010", "2", 500}, {"Y010-u4", "Y010", "4", 1},
      {"Y010-null", "Y010", kNull, 1}, {"Y000-h0", "Y000", "0", 0},
      {"Y000-a0", "Y000", "3", 0},     {"M002-a0", "M002", "3", 0},
      {"M002-m3", "M002", "2", 3},     {"M002-d99", "M002", "1", 99},
      {"D028-h99", "D028", "0", 99},   {"D028-d4", "D028", "1", 4},
      {"D028-d28", "D028", "1", 28},   {"D028-d29", "D028", "1", 29},
      {"D028-m1", "D028", "2", 1},     {"H023-h5", "H023", "0", 5},
      {"H023-h24", "H023", "0", 24},   {"H023-d1", "H023", "1", 1},
      {"NOU-a1", "NOU", "3", 1},       {"NOU-a55", "NOU", "3", 55},
      {"BAD-a3", "BAD", "3", 3},       {"BAD-a60", "BAD", "3", 60}};
  for (const auto& [folio, code, cveedad, edad] : ages)
    db.egreso({{"folio", folio}, {"cveedad", cveedad}, {"edad", edad}, {"afecprin", code}});
  // BAD: CInt(' 05A') gives NULL, so the first statement judges that row by its upper limit
  // alone, while val(' 05A') is 5 for the others.
  EXPECT_EQ(listedAlone(49),
            (Folios{"BAD-a3",    "BAD-a60",   "BAD-a60",  "D028-d29", "D028-d4", "D028-h99",
                    "D028-m1",   "H023-d1",   "H023-h24", "H023-h5",  "M002-a0", "M002-m3",
                    "NOU-a55",   "Y000-h0",   "Y010-a55", "Y010-a55", "Y010-a9", "Y010-a9",
                    "Y010-a999", "Y010-a999", "Y010-m500"}));
}

TEST_F(DiagnosisCodeRules, SexAndAgeLimitsAreTheDischargesAndNeedItsWholeKey) {
  cie10("O800", {{"lsex", " 2"}});
  cie10("C61X", {{"lsex", "1"}});
  cie10("J180", {{"lsex", "3"}});  // no limit
  cie10("P220", {{"linf", "000H"}, {"lsup", "028D"}});
  db.egreso({{"folio", "man-O800"}, {"sexo", "1"}, {"afecprin", "O800"}});
  db.egreso({{"folio", "woman-C61X"}, {"sexo", "2"}, {"afecprin", "C61X"}});
  db.egreso({{"folio", "null-O800"}, {"sexo", kNull}, {"afecprin", "O800"}});
  db.egreso({{"folio", "man-J180"}, {"sexo", "1"}, {"afecprin", "J180"}, {"cedocve", "15"}});
  db.afecciones({{"afec", "O800"}}).afecciones({{"afec", "P220"}}).afecciones({{"afec", "P220"}});
  db.afecciones({{"afec", "P220"}, {"egreso", "2023-03-16 00:00:00"}});  // no such discharge
  db.egreso({{"folio", "woman-d3"}, {"sexo", "2"}, {"cveedad", "1"}, {"edad", 3}})
      .afecciones({{"afec", "P220"}})
      .defunc({{"causabas", "C61X"}});
  db.defunc({{"causabas", "C61X"}, {"egreso", "2023-03-16 00:00:00"}});
  db.afecciones({{"afec", "C61X"}, {"folio", "orphan"}});
  EXPECT_EQ(listedAlone(48), (Folios{"man-O800", "woman-C61X"}));
  EXPECT_EQ(listedAlone(71), (Folios{"woman-d3"}));
  EXPECT_EQ(listedAlone(72), Folios{});
  EXPECT_EQ(listedAlone(79), (Folios{"man-J180"}));
  EXPECT_EQ(listedAlone(80), (Folios{"man-J180", "man-J180"}));
  EXPECT_EQ(db.rows("Validacion80")[0],
            (std::vector<std::string>{"15", "man-J180", std::string(test::kClues),
                                      std::string(test::kEgreso), "3", "30", "P220"}));
}

}  // namespace
}  // namespace kolt::rules
