// How a unit's findings are matched with its earlier run's: by rule and record, the record being
// the folio, or the whole row where the rule's table has none.
#include "results/finding_changes.h"

#include <gtest/gtest.h>

namespace kolt::results {
namespace {

constexpr const char* kThen = "2026-11-07 09:30:00";
constexpr const char* kNow = "2026-12-07 10:00:00";

Finding row(int rule, std::string folio, std::string value) {
  return {rule, folio, "15/03/2023", "folio=" + folio + " | valor=" + value};
}

KeptFinding kept(int rule, std::string folio, std::string value, std::string seen = kThen) {
  return {row(rule, std::move(folio), std::move(value)), std::move(seen)};
}

// "rule/record:state" for each finding, in the order the follow-up sheet lists them.
std::vector<std::string> states(const UnitChanges& changes) {
  std::vector<std::string> out;
  for (const TrackedFinding& t : changes.findings)
    out.push_back(std::to_string(t.finding.rule) + "/" + t.finding.record + ":" +
                  stateText(t.state));
  return out;
}

TEST(FindingChanges, EachFindingIsNewPersistingOrCorrectedByRuleAndRecord) {
  const EarlierUnit earlier{kThen,
                            {kept(1, "10", "edad 200", "2026-10-01 08:00:00"), kept(1, "11", "x"),
                             kept(3, "10", "sexo 9"), kept(5, "12", "y")},
                            {}};
  const std::vector<Finding> now = {
      // Still wrong in rule 1 with another wrong value: the same finding, persisting, first
      // seen when it was first seen.
      row(1, "10", "edad 300"),
      // Two rows of one record in one rule (two wrong diagnoses): one finding.
      row(3, "10", "sexo 9"), row(3, "10", "sexo 9 otra vez"),
      // Wrong in a rule it was not wrong in before: new, though the record was listed.
      row(4, "11", "z"),
      // A record listed for the first time.
      row(1, "9", "edad 0")};
  const UnitChanges changes = compareFindings(now, {}, earlier, kNow);

  EXPECT_EQ(changes.since, kThen);
  // By record as people read folios (9 before 10), then by rule.
  EXPECT_EQ(states(changes),
            (std::vector<std::string>{"1/9:Nuevo", "1/10:Persiste", "3/10:Persiste",
                                      "1/11:Corregido", "4/11:Nuevo", "5/12:Corregido"}));
  EXPECT_EQ(changes.findings[1].firstSeen, "2026-10-01 08:00:00");
  EXPECT_EQ(changes.findings[0].firstSeen, kNow);
  EXPECT_EQ(changes.findings[2].rows, 2);
  EXPECT_EQ(changes.findings[3].rows, 0);
  const ChangeCounts& t = changes.total;
  EXPECT_EQ(std::tie(t.before, t.now, t.added, t.persisting, t.corrected),
            std::make_tuple(4, 4, 2, 2, 2));
  const ChangeCounts& rule1 = changes.byRule.at(1);
  EXPECT_EQ(std::tie(rule1.before, rule1.now, rule1.added, rule1.persisting, rule1.corrected),
            std::make_tuple(2, 2, 1, 1, 1));
  EXPECT_EQ(changesInWords(changes), "+2 nuevos, 2 corregidos desde 07/11/2026");
}

// A rule that failed has no result: its findings are neither corrected nor new.
TEST(FindingChanges, ARuleThatFailedInEitherRunComparesNothing) {
  const EarlierUnit earlier{kThen, {kept(7, "1", "a"), kept(8, "2", "b")}, {9}};
  const UnitChanges changes =
      compareFindings({row(9, "3", "c"), row(8, "2", "b")}, {7}, earlier, kNow);
  EXPECT_EQ(states(changes),
            (std::vector<std::string>{"7/1:Sin comparar", "8/2:Persiste", "9/3:Sin comparar"}));
  EXPECT_EQ(changes.total.corrected, 0);
  EXPECT_EQ(changes.total.added, 0);
  EXPECT_EQ(changesInWords(changes), "sin cambios desde 07/11/2026");
}

}  // namespace
}  // namespace kolt::results
