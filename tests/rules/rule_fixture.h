// A working database for the rule tests whose exported result tables become workbook sheets, as
// in a run.
#pragma once

#include "results/workbook_sink.h"
#include "rules/validaciones.h"
#include "support/working_db.h"

namespace kolt::rules {

class SheetsDb : public test::WorkingDb {
 public:
  explicit SheetsDb(std::filesystem::path file, const Options& options = {})
      : WorkingDb(std::move(file), options) {
    connection().setExportSink(&sheets_);
  }

 private:
  results::WorkbookSink sheets_;
};

}  // namespace kolt::rules
