// The rules as they are numbered, and the rule cases of tests/rules/cases/, each file a series of
// cases:
//
//   # a comment
//   caso edades en cada límite            a case: its title, then its rows, then what rules list
//   egreso h23 cveedad=0 edad=23          a discharge; a bare first word is its folio
//   obstet planfam=NULL                   a child row of the last discharge
//   egreso e1 | obstet | productos        rows one after another on one line
//   egreso h{} cveedad=0 edad={} cada: 0 23    the line once for each value, {} made that value
//   catcie10 causa=K35 nombre=x           any other table: unnamed columns NULL
//   regla 1: h24 a131                     the folios rule 1 lists, in any order, repeats kept
//   regla 2: nada                         rule 2 lists nothing
//   regla 24,25: w9 / regla 1-26: nada    the same for each rule named
//   regla 2 en orden: m4 a30              ...in the order of its result table
//   regla 93 columnas folio,numproducto: a,2 b,1     ...other columns of each row, comma-joined
//                                                    (a name with blanks in quotes)
//
// A value is NULL, a quoted text ('' is empty, ' 1' keeps its blank), or a bare word: a number
// in a numeric column, text in any other. Columns a discharge or child row does not name take the
// defaults of support/working_db.h, under which it passes rules 1 to 26.
//
// Each case gets a fresh working database; each of its "regla" lines runs that rule alone, or with
// the rules whose work tables it reads, so that a fault in another rule cannot change what it
// lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <ranges>
#include <regex>
#include <set>
#include <stdexcept>

#include "base/names.h"
#include "rules/rule_fixture.h"
#include "rules/rule_plan.h"
#include "schema/tables.h"
#include "support/paths.h"

namespace kolt::rules {
namespace {

// Fixed and generated rules alike, as they run.
TEST(Catalogue, RulesAreNumberedOneToTheLastAndEachWritesOnlyItsOwnTable) {
  int previous = 0;
  for (const PlannedRule& rule : planRules(ruleCatalogue())) {
    SCOPED_TRACE(rule.number);
    EXPECT_EQ(rule.number, ++previous);
    EXPECT_EQ(rule.table, resultTableName(rule.number));
    EXPECT_FALSE(rule.description.empty());
    ASSERT_FALSE(rule.statements.empty());
    // Letter case aside; "Into  Z301" is written with two blanks.
    const std::regex first("^select [\\s\\S]*into +" + rule.table + "( |$)", std::regex::icase);
    EXPECT_TRUE(std::regex_search(rule.statements[0], first)) << rule.statements[0];
    const std::regex more("^insert into " + rule.table + " ", std::regex::icase);
    for (std::size_t i = 1; i < rule.statements.size(); ++i)
      EXPECT_TRUE(std::regex_search(rule.statements[i], more)) << rule.statements[i];
  }
  EXPECT_EQ(previous, kLastRule);
  // Every work table built is dropped again: Frame.WholeCatalogue finds none left.
  for (const Rule* rule : ruleCatalogue().fixedRules)
    EXPECT_TRUE(rule->number <= kLastRuleBeforeGenerated ||
                rule->number >= kFirstRuleAfterGenerated)
        << rule->number;
}

// Words split at blanks, a quoted text kept whole with its quotes.
std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  std::string word;
  bool quoted = false;
  for (char c : std::string(line) + ' ') {
    if (quoted || (c != ' ' && c != '\t')) {
      if (c == '\'') quoted = !quoted;
      word += c;
    } else if (!word.empty()) {
      out.push_back(std::exchange(word, {}));
    }
  }
  if (quoted) throw std::runtime_error("unclosed quote");
  return out;
}

std::string unquoted(const std::string& w) {
  return w.size() >= 2 && w.front() == '\'' && w.back() == '\'' ? w.substr(1, w.size() - 2) : w;
}

// The rules of "N", "N,M,..." or "N-M".
std::vector<int> ruleNumbers(const std::string& text) {
  std::vector<int> rules;
  for (const auto part : std::views::split(text, ',')) {
    int first = 0, last = 0;
    if (std::sscanf(std::string(part.begin(), part.end()).c_str(), "%d-%d", &first, &last) != 2)
      last = first;
    for (int n = first; n <= last; ++n) rules.push_back(n);
  }
  return rules;
}

base::Value value(const std::string& word, const schema::Column& column) {
  if (word == "NULL") return base::Value{};
  if (word.starts_with('\'')) return unquoted(word);
  std::int64_t n = 0;
  const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
  if (column.type == schema::kIntegerType && ec == std::errc() && end == word.data() + word.size())
    return n;
  return word;
}

// "table [folio] column=value...": a discharge, a child row of the last discharge, or a row of any
// other table.
void addRow(test::WorkingDb& db, const std::vector<std::string>& w) {
  const schema::Table* table = schema::findTable(w[0]);
  if (table == nullptr) throw std::runtime_error("no table " + w[0]);
  test::Cells cells;
  for (std::size_t i = 1; i < w.size(); ++i) {
    const std::size_t eq = w[i].find('=');
    const std::string name = eq == std::string::npos ? "folio" : w[i].substr(0, eq);
    const std::string text = eq == std::string::npos ? w[i] : w[i].substr(eq + 1);
    const schema::Column* column = table->column(name);
    if (column == nullptr) throw std::runtime_error("no column " + name + " in " + w[0]);
    cells.emplace_back(column->name, value(text, *column));
  }
  using Db = test::WorkingDb;
  static const std::map<std::string_view, Db& (Db::*)(const test::Cells&)> kinds = {
      {"EGRESO", &Db::egreso},         {"OBSTET", &Db::obstet},
      {"PRODUCTOS", &Db::productos},   {"DEFUNC", &Db::defunc},
      {"AFECCIONES", &Db::afecciones}, {"PROCEDIMIENTOS", &Db::procedimientos}};
  if (const auto kind = kinds.find(table->name); kind != kinds.end())
    (db.*kind->second)(cells);
  else
    db.insert(w[0], cells);
}

// A line of rows, or of one row for each value after "cada:", each {} of the line made that value.
void addRows(test::WorkingDb& db, const std::vector<std::string>& w) {
  const auto each = std::find(w.begin(), w.end(), "cada:");
  const std::vector<std::string> values =
      each == w.end() ? std::vector<std::string>{""} : std::vector<std::string>(each + 1, w.end());
  for (const std::string& value : values) {
    std::vector<std::string> row;
    for (auto from = w.begin(); from != each; ++from) {
      if (*from == "|") {
        addRow(db, std::exchange(row, {}));
        continue;
      }
      const std::size_t slot = from->find("{}");
      row.push_back(slot == std::string::npos ? *from : std::string(*from).replace(slot, 2, value));
    }
    addRow(db, row);
  }
}

// From the rule that builds the work tables `rule` reads to the one that drops the last of them;
// the rule alone when it reads none.
FrameOptions runRange(int rule) {
  int first = 0;
  std::vector<std::string_view> open;
  for (const Rule* r : ruleCatalogue().fixedRules) {
    if (open.empty()) first = r->number;
    for (const WorkTable& work : r->buildBefore) open.push_back(work.name);
    for (std::string_view name : r->dropAfter)
      std::erase_if(open, [&](std::string_view o) { return base::sameName(o, name); });
    if (open.empty() && rule >= first && rule <= r->number)
      return {.firstRule = first, .lastRule = r->number};
  }
  return {.firstRule = rule, .lastRule = rule};
}

// "regla RULES [en orden] [columnas a,b]: rows... | nada"; each rule named goes into `lists` or
// `listsNothing`.
void expectListing(SheetsDb& db, const std::filesystem::path& book, const std::string& line,
                   std::set<int>& lists, std::set<int>& listsNothing) {
  const std::size_t colon = line.find(':');
  const std::vector<std::string> head = words(line.substr(0, colon));
  if (head.size() < 2) throw std::runtime_error("expected a rule number");
  const bool inOrder = std::find(head.begin(), head.end(), "orden") != head.end();
  std::vector<std::string> columns = {"folio"};
  if (const auto named = std::find(head.begin(), head.end(), "columnas"); named + 1 < head.end()) {
    columns.clear();
    for (const auto name : std::views::split(named[1], ','))
      columns.push_back(unquoted(std::string(name.begin(), name.end())));
  }
  std::vector<std::string> expected = words(line.substr(colon + 1));
  if (expected == std::vector<std::string>{"nada"}) expected.clear();
  if (!inOrder) std::sort(expected.begin(), expected.end());
  for (int rule : ruleNumbers(head[1])) {
    (expected.empty() ? listsNothing : lists).insert(rule);
    const FrameReport report = Validaciones(db.connection(), book, runRange(rule));
    for (const engine::StatementRecord* s : report.failures())
      ADD_FAILURE() << "rule " << s->rule << ": " << s->text << "\n" << s->errorDescription;
    const std::string table = resultTableName(rule);
    std::vector<std::string> listed(db.rows(table).size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::vector<std::string> column = db.column(table, columns[i]);
      for (std::size_t r = 0; r < column.size(); ++r) listed[r] += (i ? "," : "") + column[r];
    }
    if (!inOrder) std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected) << "rule " << rule;
  }
}

TEST(RuleCases, EachRuleListsWhatItsCasesSayAndEveryRuleListsARowInOneAndNothingInAnother) {
  std::set<std::filesystem::path> files;  // in name order
  for (const auto& entry :
       std::filesystem::directory_iterator(test::sourceDir() / "tests/rules/cases"))
    if (entry.path().extension() == ".cases") files.insert(entry.path());
  std::set<int> lists, listsNothing;
  for (const std::filesystem::path& file : files) {
    std::ifstream in(file);
    std::unique_ptr<test::TempDir> dir;
    std::unique_ptr<SheetsDb> db;
    std::string line, where;
    bool checked = true;
    for (int number = 1; std::getline(in, line); ++number) {
      const std::string at = file.filename().string() + ":" + std::to_string(number);
      try {
        if (line.starts_with("caso ")) {
          EXPECT_TRUE(checked) << where << " expects nothing";
          db.reset();
          dir = std::make_unique<test::TempDir>();
          db = std::make_unique<SheetsDb>(*dir / "Val.mdb");
          where = at + line.substr(4);
          checked = false;
          continue;
        }
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        const std::vector<std::string> w = words(line);
        if (!db || (checked && w[0] != "regla"))
          throw std::runtime_error("a row before the first caso or after its case's regla lines");
        SCOPED_TRACE(where + "; line " + std::to_string(number));
        checked = checked || w[0] == "regla";
        if (checked)
          expectListing(*db, *dir / "Val.xls", line, lists, listsNothing);
        else
          addRows(*db, w);
      } catch (const std::exception& e) {
        ADD_FAILURE() << at << ": " << e.what();
      }
    }
    EXPECT_TRUE(checked) << where << " expects nothing";
  }
  for (int rule = 1; rule <= kLastRule; ++rule) {
    EXPECT_TRUE(lists.contains(rule)) << "no case where rule " << rule << " lists a row";
    EXPECT_TRUE(listsNothing.contains(rule)) << "no case where rule " << rule << " lists nothing";
  }
}

}  // namespace
}  // namespace kolt::rules
