#include "schema/tables.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "schema/date_text.h"

namespace kolt::schema {
namespace {

TEST(Tables, RecordTablesCarryTheFullKeyWithTheDischargeDateAsADate) {
  for (const char* name :
       {"EGRESO", "OBSTET", "PRODUCTOS", "DEFUNC", "AFECCIONES", "PROCEDIMIENTOS"}) {
    const Table* table = findTable(name);
    ASSERT_NE(table, nullptr) << name;
    EXPECT_EQ(table->role, TableRole::Record);
    EXPECT_EQ(table->column("folio")->type, kTextType) << name;
    EXPECT_EQ(table->column("clues")->type, kTextType) << name;
    EXPECT_EQ(table->column("egreso")->type, kDateType) << name;
  }
  EXPECT_NE(findTable("EGRESO")->column("cedocve"), nullptr);
  EXPECT_EQ(findTable("OBSTET")->column("cedocve"), nullptr);
}

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

TEST(Tables, NamesResolveWithoutRegardToCaseAndSourceAdditionsStayOutOfTheWorkingDatabase) {
  EXPECT_EQ(findTable("Egreso"), findTable("EGRESO"));
  EXPECT_EQ(findTable("defunc")->column("CAUSABAS")->name, "causabas");
  EXPECT_EQ(findTable("nothing"), nullptr);
  std::vector<std::string_view> working;
  for (const Table* t : workingTables()) working.push_back(t->name);
  EXPECT_EQ(working.size(), 13u);
  for (std::string_view name : {"CLUESSEL", "RESULTADOSVALIDACION"})
    EXPECT_EQ(std::find(working.begin(), working.end(), name), working.end());
}

TEST(Tables, CreateStatementCanLeaveColumnsOut) {
  EXPECT_EQ(createTableStatement(*findTable("AFECCIONES")),
            "CREATE TABLE AFECCIONES (folio TEXT, clues TEXT, egreso DATETIME, afec TEXT)");
  EXPECT_EQ(createTableStatement(*findTable("AFECCIONES"), {"FOLIO", "afec"}),
            "CREATE TABLE AFECCIONES (clues TEXT, egreso DATETIME)");
}

}  // namespace
}  // namespace kolt::schema
