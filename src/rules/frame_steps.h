// The two operations every rule uses around its own statements: dropping a table before it is
// made again, and exporting a result table to the unit's workbook.
//
// Both run on the connection passed in, never on one kept from an earlier call, so no rule can end
// up on another database.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/connection.h"
#include "engine/statement_log.h"

namespace kolt::rules {

// Runs "Drop Table {name}". A failure (usually: the table is not there) is recorded in `log` and
// stops nothing; there is deliberately no test whether the table exists.
void BorrarTabla(engine::Connection& cnnNueva, std::string_view name, engine::StatementLog& log,
                 int rule = 0);

// Runs "Drop Table {name}" on the source database; a table that is not there is no error, nor is
// any other failure except a full disk (base::Error kErrDiskFull), which is thrown.
void BorrarTablaOrigen(engine::Connection& cnnOrigen, std::string_view name,
                       engine::StatementLog& log);

// Counts the rows of `tcTabla` and, when there are any, adds the table as the sheet of the same
// name to the workbook `gcLibroExcel` (creating the file with its first sheet). True when the sheet
// was written; a table without rows writes nothing. The count, with its rows, and the export are
// in `log`, failed or not.
bool ArchivoExcel(engine::Connection& cnnNueva, const std::filesystem::path& gcLibroExcel,
                  std::string_view tcTabla, engine::StatementLog& log, int rule = 0);

// The export statement for a table and a workbook. A quote in the workbook's path is doubled: put
// in as it stands, it would end the file name early and turn the rest of the path into dialect.
std::string exportStatement(std::string_view tcTabla, const std::filesystem::path& gcLibroExcel);

}  // namespace kolt::rules
