#include "rules/case_file.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <stdexcept>

#include "schema/tables.h"

namespace kolt::test {
namespace {

// Words split at blanks, a quoted text kept whole with its quotes.
std::vector<std::string> words(const std::string& line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t') {
      ++i;
      continue;
    }
    std::string word;
    bool quoted = false;
    for (; i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t')); ++i) {
      if (line[i] == '\'') quoted = !quoted;
      word += line[i];
    }
    if (quoted) throw std::runtime_error("unclosed quote");
    out.push_back(word);
  }
  return out;
}

std::string unquoted(const std::string& word) {
  return word.size() >= 2 && word.front() == '\'' && word.back() == '\''
             ? word.substr(1, word.size() - 2)
             : word;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == separator)
      parts.emplace_back();
    else
      parts.back() += c;
  }
  return parts;
}

base::Value value(const std::string& word, const schema::Column& column) {
  if (word == "NULL") return base::Value{};
  if (word.starts_with('\'')) return unquoted(word);
  if (column.type == schema::kIntegerType) {
    std::int64_t n = 0;
    const auto [end, ec] = std::from_chars(word.data(), word.data() + word.size(), n);
    if (ec == std::errc() && end == word.data() + word.size()) return n;
  }
  return word;
}

CaseRow row(const std::vector<std::string>& w) {
  const schema::Table* table = schema::findTable(w[0]);
  if (table == nullptr) throw std::runtime_error("no table " + w[0]);
  CaseRow out{w[0], {}};
  for (std::size_t i = 1; i < w.size(); ++i) {
    const std::size_t eq = w[i].find('=');
    std::string name = eq == std::string::npos ? "folio" : w[i].substr(0, eq);
    if (eq == std::string::npos && i != 1) throw std::runtime_error("expected column=value");
    const schema::Column* column = table->column(name);
    if (column == nullptr) throw std::runtime_error("no column " + name + " in " + w[0]);
    out.cells.emplace_back(std::string(column->name),
                           value(eq == std::string::npos ? w[i] : w[i].substr(eq + 1), *column));
  }
  return out;
}

int number(std::string_view text) {
  int n = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
  if (ec != std::errc() || end != text.data() + text.size() || n < 1)
    throw std::runtime_error("not a rule number: " + std::string(text));
  return n;
}

// The rules of "N", "N,M,..." or "N-M".
std::vector<int> ruleNumbers(const std::string& text) {
  std::vector<int> rules;
  if (const std::size_t dash = text.find('-'); dash != std::string::npos) {
    for (int n = number(text.substr(0, dash)); n <= number(text.substr(dash + 1)); ++n)
      rules.push_back(n);
    return rules;
  }
  for (const std::string& n : split(text, ',')) rules.push_back(number(n));
  return rules;
}

// "regla RULES [en orden] [columnas a,b]: rows... | nada", one expectation per rule named.
std::vector<Expectation> expectations(const std::string& line, int lineNumber) {
  const std::size_t colon = line.find(':');
  if (colon == std::string::npos) throw std::runtime_error("expected ':' after the rule");
  const std::vector<std::string> head = words(line.substr(0, colon));
  Expectation e{.line = lineNumber, .rule = 0};
  if (head.size() < 2) throw std::runtime_error("expected a rule number");
  for (std::size_t i = 2; i < head.size(); ++i) {
    if (head[i] == "en" && i + 1 < head.size() && head[i + 1] == "orden") {
      e.inOrder = true;
      ++i;
    } else if (head[i] == "columnas" && i + 1 < head.size()) {
      e.columns.clear();
      for (const std::string& name : split(head[++i], ',')) e.columns.push_back(unquoted(name));
    } else {
      throw std::runtime_error("unknown word " + head[i]);
    }
  }
  const std::vector<std::string> rows = words(line.substr(colon + 1));
  if (rows.empty()) throw std::runtime_error("expected the rows listed, or nada");
  if (rows != std::vector<std::string>{"nada"}) e.rows = rows;
  std::vector<Expectation> out;
  for (int rule : ruleNumbers(head[1])) {
    out.push_back(e);
    out.back().rule = rule;
  }
  return out;
}

std::vector<RuleCase> readCaseFile(const std::filesystem::path& file) {
  std::ifstream in(file);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::vector<RuleCase> cases;
  std::string line;
  for (int lineNumber = 1; std::getline(in, line); ++lineNumber) {
    try {
      const std::size_t first = line.find_first_not_of(" \t");
      if (first == std::string::npos || line[first] == '#') continue;
      if (line.compare(first, 5, "caso ") == 0) {
        cases.push_back({file.filename().string() + ":" + std::to_string(lineNumber),
                         line.substr(first + 4),
                         {},
                         {}});
        continue;
      }
      const std::vector<std::string> w = words(line);
      if (cases.empty()) throw std::runtime_error("rows before the first caso");
      if (w[0] == "regla") {
        const std::vector<Expectation> more = expectations(line, lineNumber);
        cases.back().expectations.insert(cases.back().expectations.end(), more.begin(), more.end());
      } else if (!cases.back().expectations.empty())
        throw std::runtime_error("a row after the case's first regla line");
      else
        for (auto from = w.begin(); from != w.end();) {
          const auto bar = std::find(from, w.end(), "|");
          if (bar == from) throw std::runtime_error("an empty row between bars");
          cases.back().rows.push_back(row({from, bar}));
          from = bar == w.end() ? bar : bar + 1;
        }
    } catch (const std::runtime_error& e) {
      throw std::runtime_error(file.string() + ":" + std::to_string(lineNumber) + ": " + e.what());
    }
  }
  for (const RuleCase& c : cases)
    if (c.expectations.empty())
      throw std::runtime_error(file.string() + ": case " + c.name + " expects nothing");
  return cases;
}

}  // namespace

std::vector<RuleCase> readCaseFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".cases") files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  std::vector<RuleCase> cases;
  for (const auto& file : files) {
    std::vector<RuleCase> some = readCaseFile(file);
    cases.insert(cases.end(), some.begin(), some.end());
  }
  return cases;
}

}  // namespace kolt::test
