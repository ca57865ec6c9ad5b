// The readable sources of the demo catalogue agree with the program's tables and rules.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>

#include "engine/connection.h"
#include "rules/rule_plan.h"
#include "schema/tables.h"
#include "support/paths.h"
#include "tools/csv.h"

namespace kolt {
namespace {

std::vector<std::vector<std::string>> readCsv(const std::string& name) {
  std::ifstream in(test::sourceDir() / "catalog" / name, std::ios::binary);
  std::vector<std::vector<std::string>> records;
  while (auto record = tools::readCsvRecord(in)) records.push_back(*record);
  return records;
}

TEST(CatalogueSources, EveryTableHoldsTheColumnsTheRulesRead) {
  for (const char* table : {"CATCIE10", "CATCIE9MC", "CATLOCAL", "CATSERVICIOS", "Folio"}) {
    auto records = readCsv(std::string(table) + ".csv");
    ASSERT_GT(records.size(), 1u) << table;
    const schema::Table* known = schema::findTable(table);
    ASSERT_NE(known, nullptr) << table;
    for (const auto& column : known->columns)
      EXPECT_NE(std::find(records[0].begin(), records[0].end(), column.name), records[0].end())
          << table << "." << column.name;
    for (const auto& record : records) EXPECT_EQ(record.size(), records[0].size()) << table;
  }
}

TEST(CatalogueSources, DemoRuleCatalogueHoldsEveryRuleOnceWithTheProgramsOwnDescription) {
  engine::Connection catalogue;
  catalogue.open(test::binaryDir() / "bin" / "ValidacionesKOLT.db");
  const engine::Recordset rows =
      catalogue.openRecordset("SELECT Validacion, Descripcion FROM catValidaciones");
  const std::vector<rules::PlannedRule> plan = rules::planRules(rules::ruleCatalogue());
  ASSERT_EQ(rows.rows().size(), std::size_t{rules::kLastRule});
  ASSERT_EQ(rows.rows().size(), plan.size());
  std::set<std::string> distinct;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(rows.rows()[i][0], base::Value(std::int64_t{plan[i].number}));
    EXPECT_EQ(rows.rows()[i][1], base::Value(plan[i].description));
    // Said in full: no placeholder left, and no two rules described alike (a generated rule
    // names its own table and field).
    EXPECT_GT(plan[i].description.size(), 30u) << plan[i].number;
    EXPECT_EQ(plan[i].description.find('{'), std::string::npos) << plan[i].number;
    EXPECT_TRUE(distinct.insert(plan[i].description).second) << plan[i].number;
  }
}

TEST(CatalogueSources, CodesTheRulesNameAreInTheCatalogues) {
  std::map<std::string, std::vector<std::string>> byCode;
  for (const auto& r : readCsv("CATCIE10.csv")) byCode[r[0]] = r;
  for (const char* code : {"Z301", "Z302", "Z308", "O000", "O800", "O821", "O95X", "P95X", "A33X",
                           "A920", "A922", "K922"})
    EXPECT_TRUE(byCode.count(code)) << code;
  EXPECT_EQ(byCode["O800"][2], "2");  // only women
  std::map<std::string, int> procedures;
  for (const auto& r : readCsv("CATCIE9MC.csv")) procedures[r[0]]++;
  for (const char* code : {"697X", "6639", "6632", "6629", "6373", "6374", "7410", "9923"})
    EXPECT_EQ(procedures[code], 1) << code;
}

}  // namespace
}  // namespace kolt
