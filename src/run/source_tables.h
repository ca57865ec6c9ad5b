// The tables the program writes in the source database, and the unit list read from it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "rules/statement_log.h"

namespace kolt::run {

// Runs "Drop Table {name}" on the source database; a table that is not there is no error, nor is
// any other failure except a full disk (db::DbError kErrDiskFull), which is thrown.
void BorrarTablaOrigen(db::Connection& cnnOrigen, std::string_view name, rules::StatementLog& log);

// The entries of the unit list, "{CLUES}  {DescUnidad}", for the units present in EGRESO and listed
// in CATCLUES, sorted by their text. Rebuilds CLUESSEL on the way. Throws db::DbError when EGRESO
// or CATCLUES cannot be read.
std::vector<std::string> CargaUnidades(db::Connection& cnnOrigen, rules::StatementLog& log);

// The unit code of a list entry: its text before the two-blank separator (the whole text when there
// is none). Codes of any length come out whole, never cut or padded with part of the name.
std::string unitCode(std::string_view entry);
// The unit name of a list entry: its text after the two-blank separator ("" when there is none).
std::string unitName(std::string_view entry);

}  // namespace kolt::run
