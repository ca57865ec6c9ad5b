// Runs tests/engine/dialect.cases (format at its top); a failing line is named by its number.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "engine/connection.h"
#include "engine/dialect/translation.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::engine {
namespace {

// What describeStatement says of a text: kind|target|external database (sí/no)|statements.
std::string description(std::string_view text) {
  const StatementDescription d = describeStatement(text);
  using Kind = StatementDescription::Kind;
  return std::string(d.kind == Kind::SelectInto     ? "SelectInto"
                     : d.kind == Kind::InsertSelect ? "InsertSelect"
                                                    : "Other") +
         "|" + d.target + "|" + (d.namesExternalDatabase ? "sí" : "no") + "|" +
         std::to_string(d.statementCount);
}

// What a line finds, in the words the case file writes after "=>".
std::string outcome(Connection& cnn, const std::string& statement, const std::string& expected) {
  std::string out;
  try {
    if (statement == "escritas") return std::to_string(cnn.rowsWritten());
    if (statement.starts_with("describe ")) return description(statement.substr(9));
    if (statement.starts_with("columnas ")) {
      const Recordset rs = cnn.openRecordset("select * from " + statement.substr(9));
      for (const auto& c : rs.columns())
        out += (out.empty() ? "" : ",") + c.name + ":" + c.declaredType;
      return out;
    }
    if (expected.empty() || expected.starts_with("error ")) return cnn.execute(statement), "";
    const Recordset rs = cnn.openRecordset(statement);
    for (const auto& row : rs.rows()) {
      if (&row != &rs.rows().front()) out += ";";
      for (std::size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + test::text(row[i]);
    }
    return out.empty() ? "nada" : out;
  } catch (const base::Error& e) {
    // An expected refusal names its number, and may quote a part of its message.
    const std::string number = "error " + std::to_string(e.number());
    const auto quote = expected.find('"');
    if (!expected.starts_with("error ")) return number + " (" + e.description() + ")";
    if (quote == std::string::npos) return number;
    const std::string part = expected.substr(quote + 1, expected.rfind('"') - quote - 1);
    if (e.description().find(part) == std::string::npos)
      return number + " (" + e.description() + ")";
    return number + " \"" + part + "\"";
  }
}

TEST(DialectCases, EveryLineGivesWhatTheFileSays) {
  std::ifstream in(test::sourceDir() / "tests/engine/dialect.cases");
  std::vector<std::string> prelude;
  std::unique_ptr<test::TempDir> dir;
  Connection cnn;
  std::string text, title;
  int cases = 0;
  for (int number = 1; std::getline(in, text); ++number) {
    if (text.empty() || text[0] == '#') continue;
    if (text.starts_with("caso ")) {
      title = text.substr(5);
      ++cases;
      if (dir) cnn.close();
      dir = std::make_unique<test::TempDir>();
      Connection::createDatabase(dir->path() / "w.db");
      cnn.open(dir->path() / "w.db");
      for (const std::string& line : prelude) cnn.execute(line);
      continue;
    }
    if (cases == 0) {
      prelude.push_back(text);
      continue;
    }
    const auto arrow = text.find(" => ");
    const std::string statement = text.substr(0, arrow);
    const std::string expected = arrow == std::string::npos ? "" : text.substr(arrow + 4);
    EXPECT_EQ(outcome(cnn, statement, expected), expected)
        << "dialect.cases:" << number << " (caso " << title << "): " << statement;
  }
  EXPECT_GT(cases, 5);
}

}  // namespace
}  // namespace kolt::engine
