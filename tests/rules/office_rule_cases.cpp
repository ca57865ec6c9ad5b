#include "rules/office_rule_cases.h"

#include <fstream>
#include <stdexcept>

#include "base/error.h"
#include "engine/connection.h"
#include "rules/office_rules.h"
#include "support/paths.h"

namespace kolt::test {

std::vector<OfficeRulesCase> officeRulesCases() {
  std::ifstream in(sourceDir() / "tests" / "rules" / "office_rules.cases");
  if (!in) throw std::runtime_error("no se puede leer office_rules.cases");
  std::vector<OfficeRulesCase> cases;
  int number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.starts_with("== ")) {
      cases.push_back({line.substr(3), number, {}, {}});
    } else if (cases.empty()) {
      continue;  // the header's comments
    } else if (line.starts_with("-> ")) {
      cases.back().expected.push_back(line.substr(3));
    } else if (cases.back().expected.empty()) {
      cases.back().text += line + "\n";
    }
  }
  return cases;
}

std::string checkOfficeRulesCase(const OfficeRulesCase& c, const std::filesystem::path& file) {
  std::ofstream(file, std::ios::binary) << c.text;
  try {
    rules::OfficeRulesFile read = rules::readOfficeRules(file);
    engine::Connection checkDatabase;
    checkDatabase.openInMemory();
    rules::createWorkingTables(checkDatabase);
    rules::compileOfficeRules(read, checkDatabase);
    rules::acceptedRules(read);
    return "correcta";
  } catch (const base::Error& e) {
    return e.description();
  }
}

}  // namespace kolt::test
