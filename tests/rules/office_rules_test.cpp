// The checks of the office's rules file, one case of office_rules.cases at a time: each refused
// with its message, or passed and planned in number order with the file's statement limit.
//
// A case there is "== name", the file's text, then "-> text" for each piece the check's message
// must hold ("-> correcta": it passes), the working database's tables at hand. In the text,
// "«N×piece»" stands for the piece written N times: statements too long or too deep to write out.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>

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

std::string repeated(const std::string& line) {
  static const std::regex kRepeat("«([0-9]+)×([^»]*)»");
  std::string out;
  auto rest = line.cbegin();
  for (std::sregex_iterator m(line.begin(), line.end(), kRepeat), end; m != end; ++m) {
    out.append(rest, (*m)[0].first);
    for (int n = std::stoi((*m)[1]); n > 0; --n) out += (*m)[2].str();
    rest = (*m)[0].second;
  }
  return out.append(rest, line.cend());
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
      text += repeated(line) + "\n";
    }
  }
  EXPECT_GE(cases, 10);
}

}  // namespace
}  // namespace kolt::rules
