#include "rules/frame_steps.h"

#include <string>

#include "base/error.h"

namespace kolt::rules {

void BorrarTabla(engine::Connection& cnnNueva, std::string_view name, engine::StatementLog& log,
                 int rule) {
  std::string lcSQL = "Drop Table ";
  lcSQL += name;
  try {
    log.execute(cnnNueva, rule, engine::StatementKind::Drop, lcSQL);
  } catch (const base::Error&) {
    // Recorded by the log; an absent table is the normal case on a fresh database.
  }
}

void BorrarTablaOrigen(engine::Connection& cnnOrigen, std::string_view name,
                       engine::StatementLog& log) {
  try {
    log.execute(cnnOrigen, 0, engine::StatementKind::Drop, "Drop Table " + std::string(name));
  } catch (const base::Error& e) {
    // Already in the log; an absent table is the usual case. A table that stays for want of room
    // on the disk would only make the next statement fail with "ya existe", hiding the cause.
    if (e.number() == base::kErrDiskFull) throw;
  }
}

std::string exportStatement(std::string_view tcTabla, const std::filesystem::path& gcLibroExcel) {
  std::string book;
  for (char c : gcLibroExcel.string()) {
    book += c;
    if (c == '\'') book += '\'';
  }
  std::string lcSQL = "SELECT * INTO [";
  lcSQL += tcTabla;
  lcSQL += "] IN '";
  lcSQL += book;
  lcSQL += "' 'Excel 8.0;' FROM ";
  lcSQL += tcTabla;
  return lcSQL;
}

std::int64_t ArchivoExcel(engine::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
                          std::string_view tcTabla, engine::StatementLog& log, int rule) {
  // The whole table is read only to learn its exact row count, as the export decision needs.
  std::string source = "Select * from ";
  source += tcTabla;
  const engine::Recordset rsTabla =
      log.openRecordset(cnnNueva, rule, engine::StatementKind::Count, source);
  const std::int64_t rows = rsTabla.recordCount();
  if (rows > 0)
    log.execute(cnnNueva, rule, engine::StatementKind::Export,
                exportStatement(tcTabla, gcLibroExcel));
  return rows;
}

}  // namespace kolt::rules
