// A finding: one record named by one rule's result table. It is what a statistician sends a
// hospital to correct and, a month later, looks for again.
//
// A finding is known by its rule and its record: the value of the result table's "folio" column
// (the discharge, which every rule on a discharge's tables lists), or, in a result table without
// one (an office's rule may have none), the whole row as exported. So a discharge still wrong in
// the same rule with another wrong value is the same finding, persisting, not one corrected and one
// new; and a discharge listed by a rule in several rows (one per wrong diagnosis, say) is one
// finding of that rule.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/value.h"
#include "engine/export_sink.h"

namespace kolt::results {

struct Finding {
  int rule = 0;
  std::string record;         // the folio, or the row when the table has no folio
  std::string dischargeDate;  // "dd/mm/aaaa" from the "egreso" column; "" when there is none
  std::string row;            // the row as exported: "columna=valor | ..."
};

// Makes the findings of one result table from its rows as they are exported.
class FindingReader {
 public:
  FindingReader(int rule, const std::vector<engine::ExportColumn>& columns);
  Finding operator()(const std::vector<base::Value>& row) const;

 private:
  int rule_;
  std::vector<std::string> names_;
  int folio_ = -1, discharge_ = -1;
};

// A value as the findings write it: numbers without a needless ".0", dates as "dd/mm/aaaa" (with
// the time when it is not midnight), bytes as their count.
std::string findingText(const base::Value& value);

// A run's moment as the history keeps it, "aaaa-mm-dd hh:mm:ss", as people read it: "dd/mm/aaaa
// hh:mm", or "dd/mm/aaaa" alone. A text of another form is given back as it is.
std::string stampText(std::string_view stamp, bool withTime = true);

}  // namespace kolt::results
