// Verdicts a statistician can trust: a unit's verdict says no more than its run checked, the other
// units start only on a source the first unit could copy, and a catalogue is asked only for what
// the rules read (what a stopped run leaves: driver_test.cpp).
#include <gtest/gtest.h>

#include <regex>

#include "base/error.h"
#include "results/verdict.h"
#include "rules/rule_plan.h"
#include "run/source_check.h"
#include "schema/tables.h"

namespace kolt::run {
namespace {

// Findings, workbook written, failed statements, discharges: the verdict.
TEST(UnitVerdict, SaysNoMoreThanTheRunChecked) {
  const std::pair<results::UnitFacts, const char*> cases[] = {
      {{false, false, 0, 12}, "CORRECTA"},
      {{false, false, 0, 0}, "SIN EGRESOS"},
      {{false, false, 2, 0}, "VALIDACION INCOMPLETA"},  // a failure outweighs the empty period
      {{false, false, 3, 12}, "VALIDACION INCOMPLETA"},
      {{true, true, 0, 12}, "A REVISAR"},
      {{true, true, 1, 12}, "A REVISAR (1 FALLIDA)"},
      {{true, true, 94, 12}, "A REVISAR (94 FALLIDAS)"},
      {{true, true, 0, 0}, "A REVISAR"},  // rows of other tables without a discharge
      {{true, false, 0, 12}, "VALIDACION INCOMPLETA"},
  };
  for (const auto& [facts, verdict] : cases) EXPECT_EQ(results::unitVerdict(facts), verdict);
}

TEST(SourceCheck, OnlyACopyFailingForTheSourceKeepsTheOtherUnitsFromStarting) {
  // A full disk is the first unit's own trouble.
  engine::StatementRecord copied, diskFull, noTable;
  copied.ok = true;
  diskFull.errorNumber = base::kErrDiskFull;
  noTable.errorNumber = base::kErrNoSuchTable;
  SourceCheck usable, unusable, unjudged;
  for (const auto* record : {&copied, &diskFull}) EXPECT_FALSE(usable.showsUnusable(*record));
  usable.firstUnitCopied();
  EXPECT_TRUE(unusable.showsUnusable(noTable));
  // A first unit that ended before its copies were judged leaves no other unit to start.
  for (SourceCheck* check : {&usable, &unusable, &unjudged}) check->firstUnitOver();
  EXPECT_TRUE(usable.admits(1));
  EXPECT_TRUE(unusable.admits(0));
  EXPECT_FALSE(unusable.admits(1));
  EXPECT_FALSE(unjudged.admits(2));
}

// The check asks of a catalogue only what the rules read: a column no rule names would refuse an
// official catalogue that lacks it for nothing. catValidaciones is copied whole into every unit's
// workbook.
TEST(RunTables, EveryCatalogueColumnTheCheckAsksForIsReadByARule) {
  std::string statements;
  for (const rules::PlannedRule& rule : rules::planRules(rules::ruleCatalogue())) {
    for (const auto& text : rule.statements) statements += text + "\n";
    if (rule.buildBefore != nullptr)
      for (const rules::WorkTable& work : *rule.buildBefore)
        for (std::string_view text : work.statements) statements += std::string(text) + "\n";
  }
  using schema::TableRole;
  for (const schema::Table& table : schema::allTables()) {
    if ((table.role != TableRole::ReferenceCatalogue && table.role != TableRole::CertificateLink) ||
        table.name == "catValidaciones")
      continue;
    for (const schema::Column& column : table.columns)
      EXPECT_TRUE(std::regex_search(
          statements, std::regex("\\b" + std::string(column.name) + "\\b", std::regex::icase)))
          << table.name << "." << column.name << " is asked for but no rule reads it";
  }
}

}  // namespace
}  // namespace kolt::run
