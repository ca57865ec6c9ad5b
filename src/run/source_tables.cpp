#include "run/source_tables.h"

#include <algorithm>

namespace kolt::run {
namespace {

std::string textOf(const db::Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  return "";
}

}  // namespace

void BorrarTablaOrigen(db::Connection& cnnOrigen, std::string_view name, rules::StatementLog& log) {
  try {
    log.execute(cnnOrigen, 0, rules::StatementKind::Drop, "Drop Table " + std::string(name));
  } catch (const db::DbError& e) {
    // Already in the log; an absent table is the usual case. A table that stays for want of room
    // on the disk would only make the next statement fail with "ya existe", hiding the cause.
    if (e.number() == db::kErrDiskFull) throw;
  }
}

std::vector<std::string> CargaUnidades(db::Connection& cnnOrigen, rules::StatementLog& log) {
  BorrarTablaOrigen(cnnOrigen, "CLUESSEL", log);
  log.execute(cnnOrigen, 0, rules::StatementKind::WorkTable,
              "SELECT CLUES INTO CLUESSEL FROM EGRESO GROUP BY CLUES ORDER BY CLUES");
  db::Recordset rs =
      log.openRecordset(cnnOrigen, 0, rules::StatementKind::Count,
                        "SELECT CLUES,DESCUNIDAD From CATCLUES WHERE CLUES IN (SELECT CLUES FROM "
                        "CLUESSEL)");
  std::vector<std::string> entries;
  for (; !rs.eof(); rs.moveNext())
    entries.push_back(textOf(rs.field("clues")) + "  " + textOf(rs.field("DescUnidad")));
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::string unitCode(std::string_view entry) {
  return std::string(entry.substr(0, entry.find("  ")));
}

std::string unitName(std::string_view entry) {
  const std::size_t separator = entry.find("  ");
  return separator == std::string_view::npos ? std::string()
                                             : std::string(entry.substr(separator + 2));
}

}  // namespace kolt::run
