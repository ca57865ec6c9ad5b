#include "rules/frame_steps.h"

#include <string>

#include "base/error.h"
#include "base/platform/paths.h"
#include "base/quoting.h"

namespace kolt::rules {

void BorrarTabla(engine::Connection& cnnNueva, std::string_view name, engine::StatementLog& log,
                 int rule) {
  std::string lcSQL = "Drop Table ";
  lcSQL += name;
  // An absent table is the normal case on a fresh database.
  log.execute(cnnNueva, rule, engine::StatementKind::Drop, lcSQL);
}

void BorrarTablaOrigen(engine::Connection& cnnOrigen, std::string_view name,
                       engine::StatementLog& log) {
  const engine::StatementRecord& drop =
      log.execute(cnnOrigen, 0, engine::StatementKind::Drop, "Drop Table " + std::string(name));
  // An absent table is the usual case. A table that stays for want of room on the disk would only
  // make the next statement fail with "ya existe", hiding the cause.
  if (!drop.ok && drop.errorNumber == base::kErrDiskFull) throw drop.error();
}

std::string exportStatement(std::string_view tcTabla, const std::filesystem::path& gcLibroExcel) {
  const std::string book = base::doubledQuotes(platform::utf8(gcLibroExcel));
  std::string lcSQL = "SELECT * INTO [";
  lcSQL += tcTabla;
  lcSQL += "] IN '";
  lcSQL += book;
  lcSQL += "' 'Excel 8.0;' FROM ";
  lcSQL += tcTabla;
  return lcSQL;
}

bool ArchivoExcel(engine::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
                  std::string_view tcTabla, engine::StatementLog& log, int rule) {
  // The whole table is read only to learn its exact row count, as the export decision needs.
  std::string source = "Select * from ";
  source += tcTabla;
  const engine::QueryResult rsTabla =
      log.openRecordset(cnnNueva, rule, engine::StatementKind::Count, source);
  if (!rsTabla.recordset || rsTabla.recordset->recordCount() == 0) return false;
  return log
      .execute(cnnNueva, rule, engine::StatementKind::Export,
               exportStatement(tcTabla, gcLibroExcel))
      .ok;
}

}  // namespace kolt::rules
