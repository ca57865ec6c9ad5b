#include "run/source_tables.h"

#include <algorithm>

namespace kolt::run {

using rules::BorrarTablaOrigen;
namespace {

std::string textOf(const base::Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  return "";
}

}  // namespace

std::vector<Unit> CargaUnidades(engine::Connection& cnnOrigen, engine::StatementLog& log) {
  // A source whose list cannot be read has nothing to validate.
  BorrarTablaOrigen(cnnOrigen, "CLUESSEL", log);
  const engine::StatementRecord& selected =
      log.execute(cnnOrigen, 0, engine::StatementKind::WorkTable,
                  "SELECT CLUES INTO CLUESSEL FROM EGRESO GROUP BY CLUES ORDER BY CLUES");
  if (!selected.ok) throw selected.error();
  engine::QueryResult listed =
      log.openRecordset(cnnOrigen, 0, engine::StatementKind::Count,
                        "SELECT CLUES,DESCUNIDAD From CATCLUES WHERE CLUES IN (SELECT CLUES FROM "
                        "CLUESSEL)");
  if (!listed.recordset) throw listed.record.error();
  engine::Recordset& rs = *listed.recordset;
  std::vector<Unit> units;
  for (; !rs.eof(); rs.moveNext())
    units.push_back(Unit{textOf(rs.field("clues")), textOf(rs.field("DescUnidad"))});
  std::sort(units.begin(), units.end(),
            [](const Unit& a, const Unit& b) { return a.text() < b.text(); });
  return units;
}

}  // namespace kolt::run
