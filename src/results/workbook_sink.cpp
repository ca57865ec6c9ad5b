#include "results/workbook_sink.h"

#include "rules/office_rules.h"

namespace kolt::results {
namespace {

// The office rules' check refuses a result table wider than its sheet by this bound.
static_assert(rules::kMostResultColumns == xls::kColumnsPerSheet);

std::vector<xls::SheetColumn> sheetColumns(const std::vector<engine::ExportColumn>& columns) {
  std::vector<xls::SheetColumn> out;
  out.reserve(columns.size());
  for (const auto& c : columns) {
    const xls::ColumnKind kind = c.kind == engine::ExportKind::Date      ? xls::ColumnKind::Date
                                 : c.kind == engine::ExportKind::Boolean ? xls::ColumnKind::Boolean
                                                                         : xls::ColumnKind::Plain;
    out.push_back({c.name, kind});
  }
  return out;
}

}  // namespace

void WorkbookSink::begin(const std::filesystem::path& file) {
  gathered_ = std::make_unique<xls::Workbook>(file);
}

bool WorkbookSink::finish() {
  std::unique_ptr<xls::Workbook> book = std::move(gathered_);
  if (!book || book->sheetCount() == 0) return false;
  book->save();
  return true;
}

void WorkbookSink::keepFindings(std::function<int(std::string_view sheet)> ruleOf,
                                std::vector<Finding>* into) {
  ruleOf_ = std::move(ruleOf);
  findings_ = into;
}

std::int64_t WorkbookSink::write(const std::filesystem::path& file, std::string_view sheet,
                                 const std::vector<engine::ExportColumn>& columns,
                                 const RowSource& rows) {
  const int rule = findings_ != nullptr && ruleOf_ ? ruleOf_(sheet) : 0;
  if (gathered_ != nullptr && gathered_->file() == file) {
    if (rule <= 0)
      return static_cast<std::int64_t>(gathered_->addSheet(sheet, sheetColumns(columns), rows));
    // A sheet that fails part way is not saved, and its rule is marked failed: the findings
    // taken from it are never compared (finding_changes.h).
    const FindingReader reader(rule, columns);
    const RowSource keeping = [&](std::vector<base::Value>& row) {
      if (!rows(row)) return false;
      findings_->push_back(reader(row));
      return true;
    };
    return static_cast<std::int64_t>(gathered_->addSheet(sheet, sheetColumns(columns), keeping));
  }
  xls::Workbook book = xls::Workbook::extending(file);
  const auto written = static_cast<std::int64_t>(book.addSheet(sheet, sheetColumns(columns), rows));
  book.save();
  return written;
}

}  // namespace kolt::results
