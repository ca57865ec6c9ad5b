// Access files we write, read back by two readers that share nothing with the writer (mdbtools'
// command-line tools and the npm package mdb-reader) and by our own import: every value must come
// back as it was written.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <tuple>

#include "access/bulk_loader.h"
#include "access/import_support.h"
#include "access/jet_values.h"
#include "access_writer/engine_export.h"
#include "base/date_text.h"
#include "support/linux_tools.h"
#include "support/paths.h"

namespace kolt::test {
namespace {

namespace fs = std::filesystem;
using base::Value;

struct Table {
  std::string name;
  std::vector<access::SourceColumn> columns;
  std::vector<std::vector<Value>> rows;
};

std::string times(const std::string& piece, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += piece;
  return out;
}

Table valuesTable() {
  const Value null;
  auto i = [](std::int64_t v) { return Value{v}; };
  auto s = [](std::string v) { return Value{std::move(v)}; };
  return {"Valores",
          {{"texto", "TEXT"},
           {"memo", "LONGTEXT"},
           {"byte", "TINYINT"},
           {"entero", "SMALLINT"},
           {"largo", "INTEGER"},
           {"doble", "DOUBLE"},
           {"moneda", "CURRENCY"},
           {"fecha", "DATETIME"},
           {"sino", "BOOLEAN"}},
          {{s(""), s(""), i(0), i(-32768), i(INT32_MIN), Value{-1.5e300}, Value{-12345678.9876},
            s("1900-01-01 00:00:00"), i(0)},
           {s(times("ñ", 255)), s(times("Éé", 2500)), i(255), i(32767), i(INT32_MAX),
            Value{0.1 + 0.2}, i(922337203685), s("1900-03-01 06:00:00"), i(-1)},
           {s("Ágata Núñez € 中文 Ωμέγα 😀"), s("línea\r\nsegunda"), i(7), i(0), i(0), Value{-2.5},
            Value{0.0001}, s("1999-12-31 12:30:00"), i(-1)},
           {null, null, null, null, null, null, null, null, i(0)},
           // U+0100 cannot be compressed; the memo stays in its row, the long one goes to pages;
           // Greek and Latin-1 mixed are compressed in runs.
           {s("Āā" + times("z", 253)), s(times("ĀĂ", 150)), i(1), i(-1), i(-1), Value{1e-300},
            i(-5), s("2031-07-15 00:00:00"), i(-1)},
           {s("Ωμέγα y ñandú €"), s(times("Ωmega ", 3000)), i(2), i(2), i(2), Value{3.0}, i(0),
            s("2031-07-15 17:45:01"), i(0)}}};
}

// A table over many pages: 100,000 rows, with NULLs and dates of every month.
Table largeTable() {
  Table t{"Grande", {{"n", "INTEGER"}, {"etiqueta", "TEXT"}, {"fecha", "DATETIME"}}, {}};
  for (std::int64_t n = 0; n < 100000; ++n) {
    const int i = static_cast<int>(n);
    const base::DateTime d{1990 + i % 37, 1 + i % 12, 1 + i % 28, i % 24, 0, i * 7 % 60};
    t.rows.push_back(
        {n, n % 7 == 0 ? Value{} : Value{"fila " + std::to_string(n)}, base::formatCanonical(d)});
  }
  return t;
}

void writeEngineDatabase(const fs::path& file, const std::vector<Table>& tables) {
  access::BulkLoader loader(file);
  for (const Table& t : tables) {
    loader.beginTable(t.name, t.columns);
    for (const auto& row : t.rows) loader.insert(row);
  }
  loader.finish();
}

double number(const Value& v) {
  return std::holds_alternative<double>(v) ? std::get<double>(v)
                                           : static_cast<double>(std::get<std::int64_t>(v));
}

// A value as read_with_mdb_reader.mjs prints it.
std::string mdbReaderForm(const std::string& type, const Value& v) {
  if (type == "BOOLEAN") return std::get<std::int64_t>(v) ? "I:-1" : "I:0";
  if (base::isNull(v)) return "N";
  if (type == "TEXT" || type == "LONGTEXT") return "S:" + hexOf(std::get<std::string>(v));
  if (type == "DATETIME")
    return "T:" + std::string(std::get<std::string>(v)).replace(10, 1, "T") + ".000Z";
  if (type == "CURRENCY") return "M:" + access::currencyText(std::llround(number(v) * 10000));
  if (type == "DOUBLE") {
    const auto bytes = std::bit_cast<std::array<char, 8>>(number(v));
    return "D:" + hexOf({bytes.begin(), bytes.end()});
  }
  return "I:" + std::to_string(std::get<std::int64_t>(v));
}

class WrittenAccessFile : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    tables_ = {valuesTable(), largeTable()};
    writeEngineDatabase(dir_ / "origen.db", tables_);
    const auto exported = access_writer::exportToAccess(dir_ / "origen.db", mdb());
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_EQ(exported[1].rows, 100000u);
  }
  static fs::path mdb() { return dir_ / "escrito.mdb"; }

  static inline TempDir dir_;
  static inline std::vector<Table> tables_;
};

TEST_F(WrittenAccessFile, OurImportGivesBackEveryTableValueForValue) {
  TempDir out;
  EXPECT_EQ(access::importAccess(mdb(), out / "copia.db", importOptions()).format, "JET4");
  ASSERT_EQ(tableNames(out / "copia.db"), (std::vector<std::string>{"Valores", "Grande"}));
  for (const Table& t : tables_) {
    Rows columns;
    for (const auto& c : t.columns) columns.push_back({c.name, c.declaredType});
    EXPECT_EQ(query(out / "copia.db", "SELECT name, type FROM pragma_table_info('" + t.name + "')"),
              columns);
    EXPECT_TRUE(rowsOf(out / "copia.db", t.name) == t.rows) << t.name;
  }
}

// The column types and text sizes as mdbtools reads them (its values are what mdb-reader reads
// below: mdb-export found no fault that mdb-reader and our import miss).
TEST_F(WrittenAccessFile, MdbToolsReadsTheSchema) {
  KOLT_NEEDS_LINUX_TOOL(MdbTools);
  std::string schema;
  ASSERT_EQ(runCommand("mdb-schema '" + mdb().string() + "' 2>&1", schema), 0) << schema;
  for (const char* line :
       {"[texto]\t\t\tText (255)", "[memo]\t\t\tMemo/Hyperlink", "Byte", "[entero]\t\t\tInteger",
        "Long Integer", "Double", "Currency", "DateTime", "Boolean", "CREATE TABLE [Grande]"})
    EXPECT_NE(schema.find(line), std::string::npos) << line << "\n" << schema;
}

TEST_F(WrittenAccessFile, MdbReaderReadsEveryValue) {
  const fs::path modules = binaryDir() / "npm";
  if (!fs::exists(modules / "node_modules" / "mdb-reader"))
    GTEST_SKIP() << "mdb-reader is not installed: npm install --prefix " << modules
                 << " mdb-reader (scripts/test.sh does it)";
  const fs::path script = sourceDir() / "tests" / "access_writer" / "read_with_mdb_reader.mjs";
  const std::string command =
      "node '" + script.string() + "' '" + modules.string() + "' '" + mdb().string() + "' 2>&1";
  std::string output;
  ASSERT_EQ(runCommand(command, output), 0) << output;
  std::string expected;
  for (const Table& t : tables_) {
    expected += "T " + hexOf(t.name) + "\n";
    for (const auto& row : t.rows) {
      expected += "R";
      for (std::size_t c = 0; c < row.size(); ++c)
        expected += " " + mdbReaderForm(t.columns[c].declaredType, row[c]);
      expected += "\n";
    }
  }
  // A hundred thousand rows: the failure shows where they part, not both outputs whole.
  const auto at = std::ranges::mismatch(output, expected).in1 - output.begin();
  EXPECT_EQ(output.substr(at, 200), expected.substr(at, 200)) << "from byte " << at;
}

TEST(AccessExport, RefusesWhatAnAccessFileCannotHoldAndLeavesNoFile) {
  TempDir dir;
  std::vector<access::SourceColumn> wide;
  std::vector<Value> wideRow;
  for (int c = 0; c < 9; ++c) {
    wide.push_back({"c" + std::to_string(c), "TEXT"});
    wideRow.emplace_back(times("Ā", 255));  // 510 bytes each: the row passes a page
  }
  writeEngineDatabase(dir / "ancha.db", {{"Ancha", wide, {wideRow}}});
  writeEngineDatabase(dir / "binaria.db",
                      {{"Binaria", {{"b", "BLOB"}}, {{base::Blob{{1, 2, 3}}}}}});
  for (const auto& [source, tables, number, words] :
       {std::tuple{"ancha.db", std::vector<std::string>{}, base::kErrSyntax,
                   "Access admite como mucho 4080"},
        {"binaria.db", {}, base::kErrSyntax, "datos binarios"},
        {"binaria.db", {"NoEsta"}, base::kErrNoSuchTable, "NoEsta"},
        {"falta.db", {}, base::kErrFile, "falta.db"}}) {
    SCOPED_TRACE(source);
    expectError([&] { access_writer::exportToAccess(dir / source, dir / "salida.mdb", tables); },
                number, words);
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"ancha.db", "binaria.db"}));
  }
}

}  // namespace
}  // namespace kolt::test
