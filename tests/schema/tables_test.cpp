#include "schema/tables.h"

#include <gtest/gtest.h>

namespace kolt::schema {
namespace {

TEST(Tables, OnlyTheNumericColumnsAreNumbers) {
  std::vector<std::string> numeric;
  for (const Table& table : allTables())
    for (const Column& column : table.columns)
      if (column.type == kIntegerType)
        numeric.push_back(std::string(table.name) + "." + std::string(column.name));
  EXPECT_EQ(numeric, (std::vector<std::string>{"EGRESO.edad", "EGRESO.dias_esta", "OBSTET.hayprod",
                                               "CATCIE9MC.edad_i", "CATCIE9MC.edad_f",
                                               "catValidaciones.Validacion"}));
}

TEST(Tables, CreateStatementFindsNamesWithoutRegardToCaseAndCanLeaveColumnsOut) {
  EXPECT_EQ(createTableStatement(*findTable("AFECCIONES")),
            "CREATE TABLE AFECCIONES (folio TEXT, clues TEXT, egreso DATETIME, afec TEXT)");
  EXPECT_EQ(createTableStatement(*findTable("Afecciones"), {"FOLIO", "afec"}),
            "CREATE TABLE AFECCIONES (clues TEXT, egreso DATETIME)");
}

}  // namespace
}  // namespace kolt::schema
