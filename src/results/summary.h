// The summary of a run: one verdict row per unit in RESULTADOSVALIDACION, exported at the end as
// the sheet Resultados of ResultadosVal.xls. The table lives in a database of the run's own, in
// memory, never in the source: runs that share a source must not share their verdicts, and a
// source may be one nobody may write.
#pragma once

#include <filesystem>
#include <string>

#include "engine/connection.h"
#include "engine/statement_log.h"
#include "results/results_folder.h"

namespace kolt::results {

inline constexpr const char* kARevisar = "A REVISAR";
inline constexpr const char* kCorrecta = "CORRECTA";
// A unit for which some statement failed and no rule found anything: its rules did not all run, so
// it cannot be called correct.
inline constexpr const char* kValidacionIncompleta = "VALIDACION INCOMPLETA";

// Drops and makes anew the summary table. Throws base::Error when it cannot be made.
void makeSummaryTable(engine::Connection& verdicts, engine::StatementLog& log);

// The verdict of a unit: "A REVISAR" when some rule found rows and its workbook was written (the
// driver keeps a workbook only when it holds every finding); "VALIDACION INCOMPLETA" when rows were
// found but no workbook holds them, or when nothing was found but a statement failed; else
// "CORRECTA".
std::string verdictOf(bool findings, bool workbookWritten, bool failures);

// Inserts the unit's verdict row; a failure is in the log and leaves the other rows be.
void recordVerdict(engine::Connection& verdicts, engine::StatementLog& log, const std::string& unit,
                   const std::string& period, const std::string& verdict);

// Writes the summary table as "ResultadosVal.xls" of `folder`, to replace the previous run's when
// the folder places it; a failed export leaves it to be removed then, so that it never passes for
// another run's summary. False when the export statement failed (its failure is in the log);
// throws base::Error when the new workbook cannot be kept.
bool exportSummary(engine::Connection& verdicts, engine::StatementLog& log,
                   const results::ResultsFolder& folder);

}  // namespace kolt::results
