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

// True when `text` holds "into", one or more blanks and {table}, followed by a blank or the end,
// ignoring case ("Into  Z301" is written with two blanks).
bool writesInto(std::string_view text, std::string_view table) {
  const std::string haystack = lower(text);
  const std::string name = lower(table);
  for (std::size_t at = haystack.find("into "); at != std::string::npos;
       at = haystack.find("into ", at + 1)) {
    const std::size_t start = haystack.find_first_not_of(' ', at + 4);
    if (start == std::string::npos || haystack.compare(start, name.size(), name) != 0) continue;
    const std::size_t end = start + name.size();
    if (end == haystack.size() || haystack[end] == ' ') return true;
  }
  return false;
}

// Fixed and generated rules alike, as they run.
TEST(Catalogue, RulesAreNumberedOneToTheLastAndEachWritesOnlyItsOwnTable) {
  int previous = 0;
  for (const PlannedRule& rule : planRules(ruleCatalogue())) {
    SCOPED_TRACE(rule.number);
    EXPECT_EQ(rule.number, ++previous);
    EXPECT_EQ(rule.table, resultTableName(rule.number));
    EXPECT_FALSE(rule.description.empty());
    ASSERT_FALSE(rule.statements.empty());
    EXPECT_EQ(lower(rule.statements[0]).rfind("select ", 0), 0u);
    EXPECT_TRUE(writesInto(rule.statements[0], rule.table));
    for (std::size_t i = 1; i < rule.statements.size(); ++i)
      EXPECT_EQ(lower(rule.statements[i]).rfind("insert into " + lower(rule.table) + " ", 0), 0u);
  }
  EXPECT_EQ(previous, kLastRule);
  for (const Rule* rule : ruleCatalogue().fixedRules)
    EXPECT_TRUE(rule->number <= kLastRuleBeforeGenerated ||
                rule->number >= kFirstRuleAfterGenerated)
        << rule->number;
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

}  // namespace
}  // namespace kolt::rules
