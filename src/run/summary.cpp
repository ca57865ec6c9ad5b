#include "run/summary.h"

#include "db/quoting.h"
#include "run/source_tables.h"

namespace kolt::run {

void creaResumen(db::Connection& cnnOrigen, rules::StatementLog& log) {
  BorrarTablaOrigen(cnnOrigen, "RESULTADOSVALIDACION", log);
  log.execute(cnnOrigen, 0, rules::StatementKind::WorkTable,
              "CREATE TABLE RESULTADOSVALIDACION(Unidad char(11) NULL, PERIODO char(50) NULL, "
              "RESULTADO char(100) NULL) ");
}

std::string veredicto(bool findings, bool workbookWritten, bool failures) {
  if (findings) return workbookWritten ? kARevisar : kValidacionIncompleta;
  return failures ? kValidacionIncompleta : kCorrecta;
}

void registraVeredicto(db::Connection& cnnOrigen, rules::StatementLog& log, const std::string& unit,
                       const std::string& periodo, const std::string& resultado) {
  log.execute(cnnOrigen, 0, rules::StatementKind::Rule,
              "INSERT INTO RESULTADOSVALIDACION(UNIDAD,PERIODO,RESULTADO) SELECT '" +
                  db::doubledQuotes(unit) + "','" + db::doubledQuotes(periodo) + "','" + resultado +
                  "'");
}

void exportaResumen(db::Connection& cnnOrigen, rules::StatementLog& log,
                    const db::ResultsFolder& folder) {
  const std::filesystem::path book = folder.summaryWorkbook();
  folder.discard(book);
  log.execute(cnnOrigen, 0, rules::StatementKind::Export,
              "SELECT * INTO [Resultados] IN '" + db::doubledQuotes(folder.draftOf(book).string()) +
                  "' 'Excel 8.0;' FROM RESULTADOSVALIDACION");
  folder.publish(book);
}

}  // namespace kolt::run
