#include "rules/frame_steps.h"

#include <string>

#include "db/error.h"

namespace kolt::rules {

void BorrarTabla(db::Connection& cnnNueva, std::string_view name, StatementLog& log, int rule) {
  std::string lcSQL = "Drop Table ";
  lcSQL += name;
  try {
    log.execute(cnnNueva, rule, StatementKind::Drop, lcSQL);
  } catch (const db::DbError&) {
    // Recorded by the log; an absent table is the normal case on a fresh database.
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

std::int64_t ArchivoExcel(db::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
                          std::string_view tcTabla, StatementLog& log, int rule) {
  // The whole table is read only to learn its exact row count, as the export decision needs.
  std::string source = "Select * from ";
  source += tcTabla;
  const db::Recordset rsTabla = log.openRecordset(cnnNueva, rule, StatementKind::Count, source);
  const std::int64_t rows = rsTabla.recordCount();
  if (rows > 0)
    log.execute(cnnNueva, rule, StatementKind::Export, exportStatement(tcTabla, gcLibroExcel));
  return rows;
}

}  // namespace kolt::rules
