// Where the rows of an export statement go.
//
//   SELECT * INTO [sheet] IN 'book' 'Excel 8.0;' FROM t
//
// The engine reads the rows and knows nothing of the file they end up in: the caller that runs
// such statements gives the connection a sink that writes them (results/workbook_sink.h writes
// workbooks). A connection without a sink refuses export statements.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"

namespace kolt::engine {

// How a column's values are meant: dates are canonical date texts, Yes/No values the integers -1
// and 0 (base/date_text.h). The kind comes from the column's declared type.
enum class ExportKind { Plain, Date, Boolean };

struct ExportColumn {
  std::string name;
  ExportKind kind = ExportKind::Plain;
};

class ExportSink {
 public:
  virtual ~ExportSink() = default;
  // Fills `row` with the next row and returns true, or returns false after the last one. Rows are
  // pulled one at a time, so a large result never sits in memory whole.
  using RowSource = std::function<bool(std::vector<base::Value>& row)>;
  // Writes the rows as the sheet `sheet` of `file` and returns how many there were. Throws
  // base::Error.
  virtual std::int64_t write(const std::filesystem::path& file, std::string_view sheet,
                             const std::vector<ExportColumn>& columns, const RowSource& rows) = 0;
};

}  // namespace kolt::engine
