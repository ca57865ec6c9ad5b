#include "schema/tables.h"

#include <gtest/gtest.h>

namespace kolt::schema {
namespace {

TEST(Tables, CreateStatementFindsNamesWithoutRegardToCaseAndCanLeaveColumnsOut) {
  EXPECT_EQ(createTableStatement(*findTable("Afecciones"), {"FOLIO", "afec"}),
            "CREATE TABLE AFECCIONES (clues TEXT, egreso DATETIME)");
}

}  // namespace
}  // namespace kolt::schema
