#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "rules/catalogue.h"
#include "rules/rule_plan.h"

namespace kolt::rules {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// True when `text` holds "into", one or more blanks and "{table}" followed by a blank or the end,
// ignoring case (several texts carry two or three blanks there).
bool writesInto(std::string_view text, std::string_view table) {
  const std::string haystack = lower(text);
  const std::string name = lower(table);
  for (std::size_t at = haystack.find("into "); at != std::string::npos;
       at = haystack.find("into ", at + 1)) {
    std::size_t start = at + 4;
    while (start < haystack.size() && haystack[start] == ' ') ++start;
    const std::size_t end = start + name.size();
    if (haystack.compare(start, name.size(), name) == 0 &&
        (end == haystack.size() || haystack[end] == ' '))
      return true;
  }
  return false;
}

TEST(Catalogue, FixedRulesAreInNumberOrderAndEachWritesOnlyItsOwnTable) {
  const Catalogue& catalogue = ruleCatalogue();
  ASSERT_FALSE(catalogue.fixedRules.empty());
  int previous = 0;
  for (const Rule* rule : catalogue.fixedRules) {
    SCOPED_TRACE(rule->number);
    EXPECT_GT(rule->number, previous);
    previous = rule->number;
    EXPECT_TRUE(rule->number <= kLastRuleBeforeGenerated ||
                rule->number >= kFirstRuleAfterGenerated);
    EXPECT_EQ(rule->table, resultTableName(rule->number));
    EXPECT_FALSE(rule->description.empty());
    ASSERT_FALSE(rule->statements.empty());
    EXPECT_EQ(lower(rule->statements[0]).rfind("select ", 0), 0u);
    EXPECT_TRUE(writesInto(rule->statements[0], rule->table));
    for (std::size_t i = 1; i < rule->statements.size(); ++i) {
      EXPECT_EQ(lower(rule->statements[i]).rfind("insert into " + lower(rule->table) + " ", 0), 0u);
    }
  }
}

TEST(Catalogue, RuleTextsKeepTheirBlanks) {
  const std::vector<Rule>& rules = dischargeFieldRules();
  ASSERT_EQ(rules.size(), 26u);
  EXPECT_EQ(rules[1].statements[1].substr(0, 28), "INSERT Into Validacion2  sel");
  EXPECT_EQ(rules[2].statements[0].back(), ' ');
  EXPECT_NE(rules[0].statements[0].back(), ' ');
}

TEST(Catalogue, EveryWorkTableBuiltIsDroppedAgainBeforeTheRunEnds) {
  std::vector<std::string> built, dropped;
  for (const Rule* rule : ruleCatalogue().fixedRules) {
    for (const WorkTable& work : rule->buildBefore) {
      built.push_back(lower(work.name));
      ASSERT_FALSE(work.statements.empty());
      EXPECT_TRUE(writesInto(work.statements[0], work.name)) << work.name;
    }
    for (std::string_view name : rule->dropAfter) dropped.push_back(lower(name));
  }
  for (const std::string& name : built)
    EXPECT_NE(std::find(dropped.begin(), dropped.end(), name), dropped.end()) << name;
}

// Checks shaped like the generated ones: which checks run for which field decides the numbers.
std::vector<std::string_view> oneStatement(std::string_view, std::string_view) {
  return {"select folio,clues,egreso,{field} Into Validacion{N} From {table} "};
}
std::vector<std::string_view> twoForms(std::string_view lcTabla, std::string_view) {
  if (lcTabla == "Egreso") return {"select {field} Into Validacion{N} From {table}"};
  return {"select a.{field} Into Validacion{N} From {table} AS a",
          "INSERT INTO Validacion{N} select a.{field} From {table} AS a"};
}
bool always(std::string_view, std::string_view) {
  return true;
}
bool isCausaext(std::string_view, std::string_view f) {
  return f == "Causaext";
}
bool isCausabas(std::string_view, std::string_view f) {
  return f == "Causabas";
}
bool isAfecprin(std::string_view, std::string_view f) {
  return f == "Afecprin";
}
bool otherwise(std::string_view t, std::string_view f) {
  return !isCausaext(t, f) && !isCausabas(t, f) && !isAfecprin(t, f);
}
bool notCausaext(std::string_view t, std::string_view f) {
  return !isCausaext(t, f);
}

std::vector<GeneratedCheck> generatedShapedChecks() {
  return {{"1a", "d", isCausaext, oneStatement},
          {"1b", "d", isCausabas, oneStatement},
          {"1c", "d", isAfecprin, oneStatement},
          {"1d", "d", otherwise, oneStatement},
          {"2", "d", always, oneStatement},
          {"3", "d", always, oneStatement},
          {"4", "d", always, oneStatement},
          {"5", "d", isCausabas, oneStatement},
          {"6", "d", notCausaext, oneStatement},
          {"7", "d", notCausaext, oneStatement},
          {"8", "d {field} de {table}", always, twoForms},
          {"9", "d", always, twoForms}};
}

TEST(RulePlan, GeneratedPassesNumberFortyTwoToEightyBetweenTheFixedRules) {
  const Rule r41{41, "Validacion41", "d", {"select 1 Into Validacion41"}};
  const Rule r81{81, "Validacion81", "d", {"select 1 Into Validacion81"}};
  Catalogue catalogue{
      {&r41, &r81}, generatedShapedChecks(), {kCodeFieldPairs.begin(), kCodeFieldPairs.end()}};
  const std::vector<PlannedRule> plan = planRules(catalogue);
  ASSERT_EQ(plan.size(), 41u);
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(plan[i].number, static_cast<int>(41 + i));
    EXPECT_EQ(plan[i].table, resultTableName(plan[i].number));
  }
  // Pass boundaries: 42-49 Afecprin, 50-55 Causaext, 56-63 diag_ini, 64-72 Causabas, 73-80 Afec.
  EXPECT_EQ(plan[49 - 41].statements[0], "select Afecprin Into Validacion49 From Egreso");
  EXPECT_EQ(plan[50 - 41].statements[0],
            "select folio,clues,egreso,Causaext Into Validacion50 From Egreso ");
  EXPECT_EQ(plan[64 - 41].statements[0],
            "select folio,clues,egreso,Causabas Into Validacion64 From Defunc ");
  EXPECT_EQ(plan[79 - 41].description, "d Afec de Afecciones");
  ASSERT_EQ(plan[80 - 41].statements.size(), 2u);
  EXPECT_EQ(plan[80 - 41].statements[1],
            "INSERT INTO Validacion80 select a.Afec From Afecciones AS a");
}

}  // namespace
}  // namespace kolt::rules
