// The checks of the office's rules file, one case of office_rules.cases at a time: each refused
// with its message, or passed and planned in number order with the file's statement limit.
//
// A case there is "== name", the file's text, then "-> text" for each piece the check's message
// must hold ("-> correcta": it passes), the working database's tables at hand.
#include <gtest/gtest.h>

#include <fstream>

#include "base/error.h"
#include "rules/office_rules.h"
#include "support/paths.h"

namespace kolt::rules {
namespace {

// "correcta", or the refusal as a run reports it.
std::string check(const std::string& text) {
  try {
    OfficeRulesFile read = parseOfficeRules(text, "ReglasAdicionales.toml");
    engine::Connection checkDatabase;
    checkDatabase.openInMemory();
    createWorkingTables(checkDatabase);
    compileOfficeRules(read, checkDatabase);
    const auto plan = planOfficeRules(acceptedRules(read));
    for (std::size_t i = 0; i < plan.size(); ++i) {
      EXPECT_EQ(plan[i].statementLimit, read.rules.statementLimit);
      EXPECT_TRUE(i == 0 || plan[i - 1].number < plan[i].number) << "not in number order";
    }
    return "correcta";
  } catch (const base::Error& e) {
    return e.description();
  }
}

TEST(OfficeRules, EachCaseIsRefusedWithItsMessageOrPasses) {
  std::ifstream in(test::sourceDir() / "tests" / "rules" / "office_rules.cases");
  std::string name, text, message;
  int cases = 0, number = 0;
  bool checked = false;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.starts_with("== ")) {
      name = "office_rules.cases:" + std::to_string(number) + " " + line.substr(3);
      text.clear(), checked = false, ++cases;
    } else if (line.starts_with("-> ")) {
      SCOPED_TRACE(name);
      if (!checked) message = check(text), checked = true;
      EXPECT_NE(message.find(line.substr(3)), std::string::npos) << message;
    } else if (cases > 0 && !checked) {
      text += line + "\n";
    }
  }
  EXPECT_GE(cases, 10);
}

}  // namespace
}  // namespace kolt::rules
