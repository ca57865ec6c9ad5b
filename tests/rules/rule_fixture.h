// What every rule test starts from: a fresh working database, a run of one block of rules that
// fails the test on any failed statement, and the folios a rule listed. Each case of a test is a
// discharge (or child row) whose folio names it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "results/workbook_sink.h"
#include "rules/validaciones.h"
#include "support/paths.h"
#include "support/working_db.h"

namespace kolt::rules {

// A working database whose exported result tables become workbook sheets, as in a run.
class SheetsDb : public test::WorkingDb {
 public:
  explicit SheetsDb(std::filesystem::path file, const Options& options = {})
      : WorkingDb(std::move(file), options) {
    connection().setExportSink(&sheets_);
  }

 private:
  results::WorkbookSink sheets_;
};

using Folios = std::vector<std::string>;

class RuleTest : public ::testing::Test {
 protected:
  // The block run() runs unless told otherwise.
  RuleTest(int firstRule, int lastRule) : firstRule_(firstRule), lastRule_(lastRule) {}

  FrameReport run() { return run(firstRule_, lastRule_); }
  FrameReport run(int first, int last) {
    FrameReport report =
        Validaciones(db.connection(), dir / "Val.xls", {.firstRule = first, .lastRule = last});
    for (const engine::StatementRecord* s : report.failures())
      ADD_FAILURE() << "rule " << s->rule << ": " << s->text << "\n" << s->errorDescription;
    return report;
  }
  // Sorted, one entry per result row (duplicates kept): row order is not part of what a rule
  // promises.
  Folios listed(int rule) {
    Folios folios = db.column(resultTable(rule), "folio");
    std::sort(folios.begin(), folios.end());
    return folios;
  }
  // What the rule lists when it runs alone, so that a fault elsewhere cannot change it.
  Folios listedAlone(int rule) {
    run(rule, rule);
    return listed(rule);
  }
  // The result table's column names, comma-separated.
  std::string columns(int rule) {
    std::string out;
    for (const std::string& c : db.columns(resultTable(rule))) out += (out.empty() ? "" : ",") + c;
    return out;
  }

  test::TempDir dir;
  SheetsDb db{dir / "Val.mdb"};

 private:
  static std::string resultTable(int rule) { return "Validacion" + std::to_string(rule); }
  int firstRule_, lastRule_;
};

}  // namespace kolt::rules
