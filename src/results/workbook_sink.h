// Export statements written as workbook sheets: the sink the run gives the connections whose
// statements export tables (engine/export_sink.h).
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "engine/connection.h"
#include "engine/export_sink.h"
#include "results/finding.h"
#include "xls/workbook.h"

namespace kolt::results {

class WorkbookSink : public engine::ExportSink {
 public:
  // From now on, the sheets exported to the workbook `file` are gathered and the workbook is
  // written once, whole, by finish(): nobody sees it with some of its sheets, and its cost does not
  // grow with the square of its sheets. Exports to other workbooks still add their sheet to the
  // file at once. Throws base::Error when the workbook cannot be begun.
  void begin(const std::filesystem::path& file);
  // Writes the workbook begun with begin() and forgets it. Returns false, writing nothing, when no
  // sheet was exported to it. Throws base::Error (the file is then unchanged).
  bool finish();

  // From now on every row exported to a sheet that `ruleOf` names a rule of (a number above 0) is
  // also kept in `into` as a finding of that rule, as it is written: the findings are the rows
  // of the workbook, read once.
  void keepFindings(std::function<int(std::string_view sheet)> ruleOf, std::vector<Finding>* into);

  // The workbook begun with begin(), for the sheets its caller adds after the exported ones;
  // null when none was begun.
  xls::Workbook* gathered() { return gathered_.get(); }

  std::int64_t write(const std::filesystem::path& file, std::string_view sheet,
                     const std::vector<engine::ExportColumn>& columns,
                     const RowSource& rows) override;

 private:
  std::unique_ptr<xls::Workbook> gathered_;
  std::function<int(std::string_view)> ruleOf_;
  std::vector<Finding>* findings_ = nullptr;
};

// Gives `connection` the sink for as long as it lives.
class SinkInUse {
 public:
  SinkInUse(engine::Connection& connection, engine::ExportSink& sink) : connection_(connection) {
    connection_.setExportSink(&sink);
  }
  ~SinkInUse() { connection_.setExportSink(nullptr); }
  SinkInUse(const SinkInUse&) = delete;
  SinkInUse& operator=(const SinkInUse&) = delete;

 private:
  engine::Connection& connection_;
};

}  // namespace kolt::results
