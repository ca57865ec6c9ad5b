// The period a run asks for, as the summary shows it and as the copies select it.
#pragma once

#include <string>

#include "run/run_request.h"

namespace kolt::run {

// The summary's text of the period: "Fechaini: #yyyy/mm/dd#, Fechafin: #yyyy/mm/dd#", either part
// alone, or "TODO" for every discharge.
std::string periodText(const RunRequest& request);

// The date part of the copies' condition, " AND CDATE(egreso) >= ..."; empty for every discharge.
std::string periodCondition(const RunRequest& request);

}  // namespace kolt::run
