// Runs the rule cases of tests/rules/cases/ (format: case_file.h). Each case gets a fresh working
// database; each of its "regla" lines runs that rule alone, or with the rules whose work tables it
// reads, so that a fault in another rule cannot change what it lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

#include "rules/case_file.h"
#include "rules/rule_fixture.h"
#include "rules/rule_plan.h"
#include "support/paths.h"

namespace kolt::test {
// A failing case is named by its file and line.
void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << c.name;
}
}  // namespace kolt::test

namespace kolt::rules {
namespace {

// A file that cannot be read fails the test over the files, not the listing of the tests.
struct CaseFiles {
  std::vector<test::RuleCase> cases;
  std::string error;
};

const CaseFiles& caseFiles() {
  static const CaseFiles files = []() -> CaseFiles {
    try {
      return {test::readCaseFiles(test::sourceDir() / "tests/rules/cases"), ""};
    } catch (const std::runtime_error& e) {
      return {{}, e.what()};
    }
  }();
  return files;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// From the rule that builds the work tables `rule` reads to the one that drops the last of them;
// the rule alone when it reads none.
FrameOptions runRange(int rule) {
  int first = 0;
  std::set<std::string> open;
  for (const Rule* r : ruleCatalogue().fixedRules) {
    if (open.empty()) first = r->number;
    for (const WorkTable& work : r->buildBefore) open.insert(lower(work.name));
    for (std::string_view name : r->dropAfter) open.erase(lower(name));
    if (open.empty() && rule >= first && rule <= r->number)
      return {.firstRule = first, .lastRule = r->number};
  }
  return {.firstRule = rule, .lastRule = rule};
}

void add(test::WorkingDb& db, const test::CaseRow& row) {
  test::Cells cells;
  for (const auto& [name, value] : row.cells) cells.emplace_back(name, value);
  using Adder = test::WorkingDb& (test::WorkingDb::*)(const test::Cells&);
  static const std::map<std::string, Adder> kinds = {
      {"egreso", &test::WorkingDb::egreso},
      {"obstet", &test::WorkingDb::obstet},
      {"productos", &test::WorkingDb::productos},
      {"defunc", &test::WorkingDb::defunc},
      {"afecciones", &test::WorkingDb::afecciones},
      {"procedimientos", &test::WorkingDb::procedimientos}};
  const auto kind = kinds.find(lower(row.table));
  if (kind != kinds.end())
    (db.*kind->second)(cells);
  else
    db.insert(row.table, cells);
}

class RuleCases : public ::testing::TestWithParam<test::RuleCase> {};

TEST_P(RuleCases, RuleListsTheRowsItShould) {
  const test::RuleCase& c = GetParam();
  test::TempDir dir;
  SheetsDb db(dir / "Val.mdb");
  for (const test::CaseRow& row : c.rows) add(db, row);
  for (const test::Expectation& e : c.expectations) {
    SCOPED_TRACE(c.name + c.title + "; line " + std::to_string(e.line));
    const FrameReport report = Validaciones(db.connection(), dir / "Val.xls", runRange(e.rule));
    for (const engine::StatementRecord* s : report.failures())
      ADD_FAILURE() << "rule " << s->rule << ": " << s->text << "\n" << s->errorDescription;
    const std::string table = resultTableName(e.rule);
    std::vector<std::string> listed(db.rows(table).size());
    for (std::size_t i = 0; i < e.columns.size(); ++i) {
      const std::vector<std::string> column = db.column(table, e.columns[i]);
      for (std::size_t r = 0; r < column.size(); ++r) listed[r] += (i ? "," : "") + column[r];
    }
    std::vector<std::string> expected = e.rows;
    if (!e.inOrder) {
      std::sort(listed.begin(), listed.end());
      std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(listed, expected) << "rule " << e.rule;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, RuleCases, ::testing::ValuesIn(caseFiles().cases),
                         [](const ::testing::TestParamInfo<test::RuleCase>& info) {
                           std::string name;
                           for (char ch : info.param.name)
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name;
                         });

TEST(RuleCaseFiles, EveryRuleHasACaseThatListsARowAndOneThatListsNothing) {
  ASSERT_EQ(caseFiles().error, "");
  std::set<int> lists, listsNothing;
  for (const test::RuleCase& c : caseFiles().cases)
    for (const test::Expectation& e : c.expectations)
      (e.rows.empty() ? listsNothing : lists).insert(e.rule);
  for (int rule = 1; rule <= kLastRule; ++rule) {
    EXPECT_TRUE(lists.contains(rule)) << "no case where rule " << rule << " lists a row";
    EXPECT_TRUE(listsNothing.contains(rule)) << "no case where rule " << rule << " lists nothing";
  }
}

}  // namespace
}  // namespace kolt::rules
