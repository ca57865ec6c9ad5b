// Whether the source and the catalogue hold every table and column the run reads, checked before
// any unit runs.
//
// The list is the schema's (schema/tables.h): the tables of each database with the columns some
// rule, copy or the unit list names. A catalogue that is not one (a discharge database chosen by
// mistake) would otherwise fail nearly every rule quietly, each failure hidden among the verdicts;
// a source without a record table would fail every unit. Both are told at once, every missing
// table and column named, and no unit is touched.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "engine/connection.h"
#include "run/session.h"

namespace kolt::run {

// What one database lacks: whole tables, and columns of the tables it has ("TABLA.columna").
struct MissingParts {
  std::vector<std::string> tables, columns;
  bool empty() const { return tables.empty() && columns.empty(); }
};

// The parts of the source's tables (the record tables and CATCLUES) that `cnnOrigen` lacks, and
// of the catalogue's tables (the reference catalogues, catValidaciones and Folio) that
// `cnnCatalogo` lacks, in the schema's order. Throws base::Error when a table cannot be read for
// another reason than its absence.
MissingParts missingSourceParts(engine::Connection& cnnOrigen);
MissingParts missingCatalogueParts(engine::Connection& cnnCatalogo);

// The message that names all of them, with what the user can do; empty when nothing is missing.
std::string missingPartsText(const MissingParts& source, const std::filesystem::path& sourceFile,
                             const MissingParts& catalogue,
                             const std::filesystem::path& catalogueFile);

// Checks the session's two open databases; throws base::Error with missingPartsText
// (base::kErrNoSuchTable when a table is missing, else base::kErrNoSuchColumn) when either lacks
// something.
void checkRunTables(Session& session);

}  // namespace kolt::run
