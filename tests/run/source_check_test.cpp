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
  // A full disk is the first unit's own trouble.
  SourceCheck usable, unusable, unjudged;
  EXPECT_FALSE(usable.showsUnusable(copy(true)));
  EXPECT_FALSE(usable.showsUnusable(copy(false, base::kErrDiskFull)));
  usable.firstUnitCopied();
  EXPECT_TRUE(unusable.showsUnusable(copy(false, base::kErrNoSuchTable)));
  // A first unit that ended before its copies were judged leaves no other unit to start.
  for (SourceCheck* check : {&usable, &unusable, &unjudged}) check->firstUnitOver();
  EXPECT_TRUE(usable.admits(1));
  EXPECT_TRUE(unusable.admits(0));
  EXPECT_FALSE(unusable.admits(1));
  EXPECT_FALSE(unjudged.admits(2));
}

}  // namespace
}  // namespace kolt::run
