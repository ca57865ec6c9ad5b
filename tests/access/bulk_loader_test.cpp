// The loader keeps each unit's rows together, in the file's order, and loses none.
#include "access/bulk_loader.h"

#include <gtest/gtest.h>

#include "engine/connection.h"
#include "support/paths.h"

namespace kolt::access {
namespace {

std::string column(engine::Connection& cnn, const std::string& name, const std::string& table) {
  const auto rs = cnn.openRecordset("SELECT [" + name + "] FROM " + table + " ORDER BY oid");
  std::string out;
  for (const auto& row : rs.rows())
    out += (base::isNull(row[0]) ? std::string("-") : std::get<std::string>(row[0])) + " ";
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
  engine::Connection cnn;
  cnn.open(dir / "x.db");
  EXPECT_EQ(column(cnn, "folio", "EGRESO"), "4 1 3 2 6 5 ");
  EXPECT_EQ(column(cnn, "rowid", "OTRA"), "x z y ");
}

}  // namespace
}  // namespace kolt::access
