// The statement time limit: a statement that would run for hours is interrupted, leaves nothing
// half made, and the connection goes on; the time between statements is not counted.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <thread>

#include "base/error.h"
#include "engine/connection.h"

namespace kolt::engine {
namespace {

using namespace std::chrono_literals;

TEST(StatementLimit, AStatementPastItsLimitFailsLeavesNoTableAndNoneFailsOnceItIsOff) {
  Connection cnn;
  cnn.openInMemory();
  cnn.executeNative(
      "CREATE TABLE t AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
      "WHERE x < 400) SELECT x FROM n");
  cnn.setStatementTimeLimit(200ms);
  std::this_thread::sleep_for(300ms);  // idle: each statement has the whole limit
  cnn.execute("SELECT x INTO r FROM t");
  // Four copies of t crossed: 400^4 rows to look at, far beyond the limit; as a query and as a
  // SELECT INTO, which must be undone.
  for (const bool query : {true, false}) {
    SCOPED_TRACE(query ? "openRecordset" : "execute");
    try {
      if (query)
        cnn.openRecordset("SELECT count(*) FROM t AS a, t AS b, t AS c, t AS d");
      else
        cnn.execute(
            "SELECT a.x INTO s FROM t AS a, t AS b, t AS c, t AS d WHERE a.x + b.x + c.x + d.x < "
            "0");
      ADD_FAILURE() << "not interrupted";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), SQLITE_INTERRUPT);
      EXPECT_NE(e.description().find("límite de 200 milisegundos"), std::string::npos)
          << e.description();
    }
  }
  EXPECT_THROW(cnn.openRecordset("SELECT * FROM s"), base::Error);
  cnn.setStatementTimeLimit(0ms);
  cnn.execute("SELECT a.x INTO s FROM t AS a, t AS b WHERE a.x + b.x + 0.5 = a.x * b.x");
  EXPECT_EQ(cnn.openRecordset("SELECT * FROM s").rows().size(), 0u);
}

}  // namespace
}  // namespace kolt::engine
