// The unit index serves the copy statements' comparison, so copying a unit reads only its rows.
#include "engine/unit_index.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "engine/dialect/translation.h"
#include "support/paths.h"

namespace kolt::engine {
namespace {

std::string queryPlan(Connection& cnn, std::string_view statement) {
  const std::string sql = "EXPLAIN QUERY PLAN " + translate(statement).sql;
  sqlite3_stmt* stmt = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(cnn.handle(), sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
  std::string plan;
  while (sqlite3_step(stmt) == SQLITE_ROW)
    plan += reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)) + std::string("\n");
  sqlite3_finalize(stmt);
  return plan;
}

TEST(UnitIndex, CopyOfOneUnitUsesTheIndexAndStillIgnoresLetterCase) {
  test::TempDir dir;
  Connection::createDatabase(dir / "origen.db");
  Connection cnn;
  cnn.open(dir / "origen.db");
  cnn.execute("CREATE TABLE EGRESO (clues TEXT, egreso DATETIME)");
  cnn.execute("CREATE TABLE OBSTET (folio TEXT)");  // no clues column: left alone
  cnn.execute("INSERT INTO EGRESO (clues, egreso) VALUES ('DFSSA000001', #2023/03/15#)");
  cnn.execute("INSERT INTO EGRESO (clues, egreso) VALUES ('dfssa000001', #2023/03/16#)");
  cnn.execute("INSERT INTO EGRESO (clues, egreso) VALUES ('DFSSA000002', #2023/03/16#)");

  const std::string copy =
      "SELECT * INTO EGRESO IN 'x.db' FROM EGRESO  WHERE  clues = 'DFSSA000001' AND "
      "CDATE(egreso) >= #2023/03/01#";
  EXPECT_EQ(queryPlan(cnn, copy).find("INDEX"), std::string::npos);

  EXPECT_EQ(indexForTextLookups(cnn, {"EGRESO", "OBSTET", "DEFUNC"}, "clues"),
            std::vector<std::string>{"EGRESO"});
  EXPECT_NE(queryPlan(cnn, copy).find("USING INDEX kolt_EGRESO_clues"), std::string::npos);
  EXPECT_EQ(cnn.openRecordset("SELECT * FROM EGRESO WHERE clues = 'Dfssa000001'").recordCount(), 2);
  // Made once: a second call finds it and changes nothing.
  EXPECT_EQ(indexForTextLookups(cnn, {"EGRESO"}, "clues"), std::vector<std::string>{"EGRESO"});
}

}  // namespace
}  // namespace kolt::engine
