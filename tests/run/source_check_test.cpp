// The first unit's copies decide whether the other units start.
#include "run/source_check.h"

#include <gtest/gtest.h>

#include "base/error.h"

namespace kolt::run {
namespace {

engine::StatementRecord copy(bool ok, long errorNumber = 0) {
  engine::StatementRecord record;
  record.kind = engine::StatementKind::WorkTable;
  record.ok = ok;
  record.errorNumber = errorNumber;
  return record;
}

TEST(SourceCheck, OnlyACopyFailingForTheSourceKeepsTheOtherUnitsFromStarting) {
  SourceCheck usable;
  EXPECT_FALSE(usable.showsUnusable(copy(true)));
  // A full disk is the first unit's own trouble.
  EXPECT_FALSE(usable.showsUnusable(copy(false, base::kErrDiskFull)));
  usable.firstUnitCopied();
  usable.firstUnitOver();
  EXPECT_TRUE(usable.admits(1));

  SourceCheck unusable;
  EXPECT_TRUE(unusable.showsUnusable(copy(false, base::kErrNoSuchTable)));
  unusable.firstUnitOver();
  EXPECT_TRUE(unusable.admits(0));
  EXPECT_FALSE(unusable.admits(1));

  // A first unit that ended before its copies were judged leaves no other unit to start.
  SourceCheck unjudged;
  unjudged.firstUnitOver();
  EXPECT_FALSE(unjudged.admits(2));
}

}  // namespace
}  // namespace kolt::run
