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
  std::string name, text, message;  // no message yet: the case's text goes on
  int cases = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.starts_with("== ")) {
      name = line.substr(3), text.clear(), message.clear(), ++cases;
    } else if (line.starts_with("-> ")) {
      if (message.empty()) message = check(text);
      EXPECT_NE(message.find(line.substr(3)), std::string::npos) << name << ": " << message;
    } else if (message.empty()) {
      text += line + "\n";
    }
  }
  EXPECT_GE(cases, 10);
}

}  // namespace
}  // namespace kolt::rules
