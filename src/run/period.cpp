#include "run/period.h"

#include "run/date_utilities.h"

namespace kolt::run {

std::string periodText(const RunRequest& request) {
  const std::string ini = request.periodStart.empty() ? "" : FechaSQL(request.periodStart);
  const std::string fin = request.periodEnd.empty() ? "" : FechaSQL(request.periodEnd);
  if (!ini.empty() && !fin.empty()) return "Fechaini: " + ini + ", Fechafin: " + fin;
  if (!ini.empty()) return "Fechaini: " + ini;
  if (!fin.empty()) return " Fechafin: " + fin;
  return "TODO";
}

std::string periodCondition(const RunRequest& request) {
  std::string dates;
  if (!request.periodStart.empty())
    dates += " AND CDATE(egreso) >= " + FechaSQL(request.periodStart);
  if (!request.periodEnd.empty()) dates += " AND CDATE(egreso) <= " + FechaSQL(request.periodEnd);
  return dates;
}

}  // namespace kolt::run
