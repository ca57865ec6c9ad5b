#include "results/summary.h"

#include "base/platform/paths.h"
#include "base/quoting.h"
#include "results/workbook_sink.h"
#include "rules/frame_steps.h"

namespace kolt::results {

void makeSummaryTable(engine::Connection& verdicts, engine::StatementLog& log) {
  // The run's database is new and holds no table yet; the drop stays so that the trace of every
  // run begins with the same statements, whatever the folder held.
  rules::BorrarTablaOrigen(verdicts, "RESULTADOSVALIDACION", log);
  const engine::StatementRecord& made =
      log.execute(verdicts, 0, engine::StatementKind::WorkTable,
                  "CREATE TABLE RESULTADOSVALIDACION(Unidad char(11) NULL, PERIODO char(50) NULL, "
                  "RESULTADO char(100) NULL) ");
  // Without the table no verdict could be kept: the run cannot go on.
  if (!made.ok) throw made.error();
}

std::string verdictOf(bool findings, bool workbookWritten, bool failures) {
  if (findings) return workbookWritten ? kARevisar : kValidacionIncompleta;
  return failures ? kValidacionIncompleta : kCorrecta;
}

void recordVerdict(engine::Connection& verdicts, engine::StatementLog& log, const std::string& unit,
                   const std::string& period, const std::string& verdict) {
  log.execute(verdicts, 0, engine::StatementKind::Rule,
              "INSERT INTO RESULTADOSVALIDACION(UNIDAD,PERIODO,RESULTADO) SELECT '" +
                  base::doubledQuotes(unit) + "','" + base::doubledQuotes(period) + "','" +
                  verdict + "'");
}

bool exportSummary(engine::Connection& verdicts, engine::StatementLog& log,
                   const results::ResultsFolder& folder) {
  const std::filesystem::path book = folder.summaryWorkbook();
  folder.discard(book);
  WorkbookSink sheets;
  SinkInUse inUse(verdicts, sheets);
  const engine::StatementRecord& exported =
      log.execute(verdicts, 0, engine::StatementKind::Export,
                  "SELECT * INTO [Resultados] IN '" +
                      base::doubledQuotes(platform::utf8(folder.draftOf(book))) +
                      "' 'Excel 8.0;' FROM RESULTADOSVALIDACION");
  if (!exported.ok) return false;
  folder.publish(book);
  return true;
}

}  // namespace kolt::results
