// The statement time limit: a statement that would run for hours is interrupted, leaves nothing
// half made, and the connection goes on.
#include <gtest/gtest.h>

#include <sqlite3.h>

#include <thread>

#include "base/error.h"
#include "engine/connection.h"

namespace kolt::engine {
namespace {

using namespace std::chrono_literals;

class StatementLimit : public ::testing::Test {
 protected:
  void SetUp() override {
    cnn.openInMemory();
    cnn.executeNative(
        "CREATE TABLE t AS WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n "
        "WHERE x < 400) SELECT x FROM n");
  }
  // Four copies of t crossed: 400^4 rows to look at, far beyond any limit of the test.
  static constexpr const char* kCrossJoin =
      "SELECT a.x INTO r FROM t AS a, t AS b, t AS c, t AS d WHERE a.x + b.x + c.x + d.x < 0";
  Connection cnn;
};

TEST_F(StatementLimit, AStatementPastItsLimitFailsAndLeavesNoTable) {
  cnn.setStatementTimeLimit(200ms);
  for (const bool asRecordset : {false, true}) {
    SCOPED_TRACE(asRecordset ? "openRecordset" : "execute");
    try {
      if (asRecordset)
        cnn.openRecordset("SELECT count(*) FROM t AS a, t AS b, t AS c, t AS d");
      else
        cnn.execute(kCrossJoin);
      ADD_FAILURE() << "not interrupted";
    } catch (const base::Error& e) {
      EXPECT_EQ(e.number(), SQLITE_INTERRUPT);
      EXPECT_NE(e.description().find("límite de 200 milisegundos"), std::string::npos)
          << e.description();
    }
  }
  EXPECT_EQ(cnn.openRecordset("SELECT count(*) FROM t").rows().size(), 1u);
  EXPECT_THROW(cnn.openRecordset("SELECT * FROM r"), base::Error);  // the SELECT INTO undone
}

// The time a connection waits between statements is not counted: each statement has the whole
// limit, and a limit taken off lets any statement finish.
TEST_F(StatementLimit, EachStatementHasItsOwnLimitAndNoneOnceItIsOff) {
  cnn.setStatementTimeLimit(300ms);
  std::this_thread::sleep_for(400ms);
  cnn.execute("SELECT x INTO r FROM t");
  cnn.setStatementTimeLimit(1ms);
  const char* join = "SELECT a.x INTO s FROM t AS a, t AS b WHERE a.x + b.x + 0.5 = a.x * b.x";
  EXPECT_THROW(cnn.execute(join), base::Error);
  cnn.setStatementTimeLimit(0ms);
  cnn.execute(join);
  EXPECT_EQ(cnn.openRecordset("SELECT * FROM s").rows().size(), 0u);
}

}  // namespace
}  // namespace kolt::engine
