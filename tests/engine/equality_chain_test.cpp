// f(x) = 'a' OR f(x) = 'b' OR ... is run as one IN: the same rows, NULLs included, with f computed
// once per row.
#include <gtest/gtest.h>

#include "engine/connection.h"
#include "engine/dialect/translation.h"
#include "support/paths.h"

namespace kolt::engine {
namespace {

TEST(EqualityChain, SelectsWhatTheTermsOneByOneSelect) {
  test::TempDir dir;
  Connection::createDatabase(dir.path() / "w.db");
  Connection cnn;
  cnn.open(dir.path() / "w.db");
  cnn.executeNative("CREATE TABLE T (id INTEGER, s TEXT)");
  cnn.executeNative(
      "INSERT INTO T VALUES (1, NULL), (2, 'a'), (3, 'A'), (4, ' a '), (5, 'b'), (6, 'ab'), "
      "(7, '99'), (8, '9'), (9, ''), (10, 5), (11, ' 99')");
  auto ids = [&](const std::string& where) {
    std::string out;
    Recordset rs = cnn.openRecordset("select id from T where " + where + " order by id");
    for (const auto& row : rs.rows()) out += std::to_string(std::get<std::int64_t>(row[0])) + " ";
    return out;
  };
  // Each chain against the same terms written literal first, which are never joined.
  const std::pair<std::string, std::string> chains[] = {
      {"trim(s)='a' or trim(s)='99' or trim(s)='9'", "'a'=trim(s) or '99'=trim(s) or '9'=trim(s)"},
      {"s is null or trim(s)='' or len(s)<2 or trim(s)='b' or trim(s)='AB'",
       "s is null or ''=trim(s) or len(s)<2 or 'b'=trim(s) or 'AB'=trim(s)"},
      {"len(s)=1 or len(s)=3 or trim(s)='ab' or len(s)=0",
       "1=len(s) or 3=len(s) or 'ab'=trim(s) or 0=len(s)"},
      {"not (trim(s)='a' or trim(s)='5')", "not ('a'=trim(s) or '5'=trim(s))"},
  };
  for (const auto& [chain, termByTerm] : chains) {
    SCOPED_TRACE(chain);
    EXPECT_NE(ids(chain), "");
    EXPECT_EQ(ids(chain), ids(termByTerm));
  }
  const std::string sql = translate(
                              "select id from T where trim(s)='' or len(s)<3 or "
                              "trim(s)='9' or trim(s)='99' or trim(s)='999'")
                              .sql;
  int trims = 0;
  for (std::size_t at = sql.find("trim("); at != std::string::npos; at = sql.find("trim(", at + 1))
    ++trims;
  EXPECT_EQ(trims, 2) << sql;
}

}  // namespace
}  // namespace kolt::engine
