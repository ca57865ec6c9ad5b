// Files of the office's rules as test data (tests/rules/office_rules.cases): each case a file's
// text and the pieces its check's message must hold, "correcta" for a file that must pass.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace kolt::test {

struct OfficeRulesCase {
  std::string name;
  int line = 0;  // of its "==" in the cases file
  std::string text;
  std::vector<std::string> expected;

  bool passes() const { return expected == std::vector<std::string>{"correcta"}; }
};

std::vector<OfficeRulesCase> officeRulesCases();

// Writes the case's text to `file`, checks it as --comprobar-reglas does (the working database's
// tables as the program defines them) and returns "correcta" or the refusal as a run reports it.
std::string checkOfficeRulesCase(const OfficeRulesCase& c, const std::filesystem::path& file);

}  // namespace kolt::test
