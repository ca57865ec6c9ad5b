// The loader keeps each unit's rows together, in the file's order, and loses none.
#include "access/bulk_loader.h"

#include <gtest/gtest.h>

#include "access/import_support.h"
#include "support/paths.h"

namespace kolt::access {
namespace {

// One text column of every row, in the order the rows are stored.
std::string column(const std::filesystem::path& database, const std::string& select) {
  std::string out;
  for (const auto& row : test::query(database, select + " ORDER BY oid"))
    out += std::get<std::string>(row[0]) + " ";
  return out;
}

TEST(BulkLoader, KeepsEachUnitsRowsTogetherInTheFilesOrder) {
  test::TempDir dir;
  {
    BulkLoader loader(dir / "x.db");
    loader.beginTable("EGRESO", {{"folio", "TEXT"}, {"Clues", "TEXT"}});
    for (const auto& [folio, clues] : std::vector<std::pair<std::string, base::Value>>{
             {"1", "A"}, {"2", "B"}, {"3", "A"}, {"4", base::Value{}}, {"5", "b"}, {"6", "B"}})
      loader.insert({folio, clues});
    // A column that takes the rowid's name keeps its values; the rowid goes by another name, and
    // the units still keep together.
    loader.beginTable("OTRA", {{"rowid", "TEXT"}, {"clues", "TEXT"}});
    for (const auto& [id, clues] : {std::pair{"x", "B"}, {"y", "A"}, {"z", "B"}})
      loader.insert({std::string(id), std::string(clues)});
    loader.finish();
  }
  EXPECT_EQ(column(dir / "x.db", "SELECT folio FROM EGRESO"), "4 1 3 2 6 5 ");
  EXPECT_EQ(column(dir / "x.db", "SELECT \"rowid\" FROM OTRA"), "x z y ");
}

}  // namespace
}  // namespace kolt::access
