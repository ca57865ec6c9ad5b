// The checks of the office's rules file, one case of tests/rules/office_rules.cases at a time.
#include <gtest/gtest.h>

#include "rules/office_rule_cases.h"
#include "rules/office_rules.h"
#include "support/paths.h"

namespace kolt::rules {
namespace {

TEST(OfficeRules, EachCaseIsRefusedWithItsMessageOrPasses) {
  test::TempDir dir;
  const auto cases = test::officeRulesCases();
  ASSERT_GE(cases.size(), 10u);
  for (const auto& c : cases) {
    SCOPED_TRACE("office_rules.cases:" + std::to_string(c.line) + " " + c.name);
    const std::string message = test::checkOfficeRulesCase(c, dir / "ReglasAdicionales.toml");
    for (const auto& piece : c.expected)
      EXPECT_NE(message.find(piece), std::string::npos) << message;
  }
}

// The file's rules run in number order whatever order it lists them in, each with the file's limit.
TEST(OfficeRules, AcceptedRulesComeInNumberOrderWithTheFilesLimit) {
  const OfficeRulesFile file = parseOfficeRules(
      "limite_segundos = 7\n"
      "[[regla]]\nnumero = 120\ndescripcion = 'b'\nsentencias = ['select folio Into "
      "Validacion120 From egreso']\n"
      "[[regla]]\nnumero = 114\ndescripcion = 'a'\nsentencias = ['select folio Into "
      "[validacion114] From egreso']\n",
      "r.toml");
  const auto plan = planOfficeRules(acceptedRules(file));
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].number, 114);
  EXPECT_EQ(plan[0].table, "Validacion114");
  EXPECT_EQ(plan[1].number, 120);
  EXPECT_EQ(plan[1].statementLimit, std::chrono::seconds(7));
}

}  // namespace
}  // namespace kolt::rules
