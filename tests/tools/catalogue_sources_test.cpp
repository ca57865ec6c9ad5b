// The readable sources of the demo catalogue agree with the program's rules. (That they hold the
// columns the rules read, the generated sources' runs show: generator_test.cpp.)
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>
#include <map>
#include <set>

#include "engine/connection.h"
#include "engine/dialect/emitter.h"
#include "rules/rule_plan.h"
#include "support/paths.h"
#include "tools/csv.h"

namespace kolt {
namespace {

TEST(CatalogueSources, DemoRuleCatalogueHoldsEveryRuleOnceWithTheProgramsOwnDescription) {
  engine::Connection catalogue;
  catalogue.open(test::binaryDir() / "bin" / "ValidacionesKOLT.db");
  const engine::Recordset rows =
      catalogue.openRecordset("SELECT Validacion, Descripcion FROM catValidaciones");
  const std::vector<rules::PlannedRule> plan = rules::planRules(rules::ruleCatalogue());
  ASSERT_EQ(rows.rows().size(), plan.size());
  std::set<std::string> distinct;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    EXPECT_EQ(rows.rows()[i],
              (std::vector<base::Value>{std::int64_t{plan[i].number}, plan[i].description}));
    // Said in full: no placeholder left, and no two rules described alike (a generated rule
    // names its own table and field).
    EXPECT_GT(plan[i].description.size(), 30u) << plan[i].number;
    EXPECT_EQ(plan[i].description.find('{'), std::string::npos) << plan[i].number;
    EXPECT_TRUE(distinct.insert(plan[i].description).second) << plan[i].number;
  }
}

// A user keeps the catalogue from one version of the program to the next, and nothing records
// the text order it was made in: an index under the dialect's collation, made in an earlier
// version's order and searched in this one's, would miss rows. So it holds none (a companion,
// which does, records its order).
TEST(CatalogueSources, DemoCatalogueHoldsNoIndexInTheTextOrder) {
  sqlite3* db = nullptr;
  const std::string file = (test::binaryDir() / "bin" / "ValidacionesKOLT.db").string();
  ASSERT_EQ(sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
  sqlite3_stmt* st = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(db,
                               "SELECT name FROM sqlite_master WHERE type = 'index' AND "
                               "upper(replace(sql, '\"', '')) LIKE '%COLLATE ' || upper(?1) || '%'",
                               -1, &st, nullptr),
            SQLITE_OK);
  sqlite3_bind_text(st, 1, engine::dialect::kCollation, -1, SQLITE_STATIC);
  std::vector<std::string> indexed;
  while (sqlite3_step(st) == SQLITE_ROW)
    indexed.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
  sqlite3_finalize(st);
  sqlite3_close(db);
  EXPECT_EQ(indexed, std::vector<std::string>{});
}

TEST(CatalogueSources, CodesTheRulesNameAreInTheCatalogues) {
  std::map<std::string, std::vector<std::vector<std::string>>> byCode;
  for (const char* file : {"CATCIE10.csv", "CATCIE9MC.csv"}) {
    std::ifstream in(test::sourceDir() / "catalog" / file, std::ios::binary);
    while (auto record = tools::readCsvRecord(in)) byCode[record->at(0)].push_back(*record);
  }
  for (const char* code :
       {"Z301", "Z302", "Z308", "O000", "O800", "O821", "O95X", "P95X", "A33X", "A920",
        "A922", "K922", "697X", "6639", "6632", "6629", "6373", "6374", "7410", "9923"})
    EXPECT_EQ(byCode[code].size(), 1u) << code;
  EXPECT_EQ(byCode["O800"].at(0).at(2), "2");  // only women
}

}  // namespace
}  // namespace kolt
