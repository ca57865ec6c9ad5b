// The generator's child rows on disk: every value comes back as it went in, of its own kind and in
// its order, across the spool's buffers, and the spool leaves no file behind.
#include "tools/spilled_rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "support/paths.h"

namespace kolt {
namespace {

namespace fs = std::filesystem;
using base::Blob;
using base::Value;
using Row = std::vector<Value>;

// Equal values; a real number to the bit, so -0.0 and a NaN's payload count.
bool same(const Value& a, const Value& b) {
  const auto* x = std::get_if<double>(&a);
  const auto* y = std::get_if<double>(&b);
  if (x == nullptr || y == nullptr) return a == b;
  return std::memcmp(x, y, sizeof(double)) == 0;
}

std::vector<Row> replayed(tools::SpilledRows& spilled) {
  std::vector<Row> rows;
  spilled.replay([&](const Row& row) { rows.push_back(row); });
  return rows;
}

void expectSame(const std::vector<Row>& got, const std::vector<Row>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t r = 0; r < want.size(); ++r) {
    ASSERT_EQ(got[r].size(), want[r].size()) << "row " << r;
    for (std::size_t c = 0; c < want[r].size(); ++c)
      EXPECT_TRUE(same(got[r][c], want[r][c])) << "row " << r << ", value " << c;
  }
}

TEST(SpilledRows, EveryKindOfValueComesBackExactlyAndInOrder) {
  test::TempDir dir;
  using Limits = std::numeric_limits<std::int64_t>;
  std::vector<Row> rows = {
      // Whole numbers where their encoding changes length, and at both ends of the range.
      {std::int64_t{0}, std::int64_t{-1}, std::int64_t{63}, std::int64_t{-64}, std::int64_t{64},
       std::int64_t{127}, std::int64_t{128}, std::int64_t{-129}, std::int64_t{1} << 40,
       Limits::max(), Limits::min()},
      {0.0, -0.0, 0.1, -2.5e300, std::numeric_limits<double>::denorm_min(),
       std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
       std::numeric_limits<double>::quiet_NaN()},
      // A text that looks like a number stays text; NUL and any UTF-8 survive.
      {std::string(), std::string("1"), std::string("Ñandú ✓"), std::string("a\0b", 3)},
      {Blob{}, Blob{{0, 255, 10, 13}}, Value{}, Value{}},
      {},
      {Value{}},
      // A value larger than the spool's buffer, written and read in several pieces.
      {std::string(3 << 20, 'x'), std::int64_t{7}},
      {std::string("después")}};
  // Rows of every length, in numbers that fill the buffer many times over, so values straddle
  // the ends of the buffers on the way in and on the way out.
  for (std::int64_t i = 0; i < 150000; ++i) {
    Row& row = rows.emplace_back();
    row.emplace_back(i);
    row.emplace_back(
        std::string(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26)));
    if (i % 5 == 0) row.emplace_back();
    if (i % 7 == 0) row.emplace_back(static_cast<double>(i) / 3);
  }
  tools::SpilledRows spilled(dir / "origen.db");
  for (const Row& row : rows) spilled.add(row);
  EXPECT_EQ(spilled.rows(), rows.size());
  expectSame(replayed(spilled), rows);
}

// With no row added, the replay hands nothing over. While open, a spool has a name on Windows
// (removed when its last handle closes) and none on Linux; once its rows are replayed and it is
// closed, nothing is left on either.
TEST(SpilledRows, LeavesNoFileInTheFolder) {
  test::TempDir dir;
  {
    tools::SpilledRows empty(dir / "origen.db");
    tools::SpilledRows spilled(dir / "origen.db");
    spilled.add({std::string(2 << 20, 'x')});
    EXPECT_EQ(replayed(empty).size(), 0u);
    EXPECT_EQ(replayed(spilled).size(), 1u);
  }
  EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(SpilledRows, AFolderThatCannotHoldItIsAnErrorNamingTheFolder) {
  test::TempDir dir;
  try {
    tools::SpilledRows spilled(dir / "falta" / "origen.db");
    FAIL() << "made a spool in a folder that does not exist";
  } catch (const base::Error& e) {
    EXPECT_EQ(e.number(), base::kErrFile);
    EXPECT_NE(e.description().find((dir / "falta").string()), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace kolt
