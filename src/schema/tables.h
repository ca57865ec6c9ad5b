// The tables of the source, catalogue and working databases, with the columns the program reads.
//
// A source or catalogue table may hold more columns than listed here; these are the ones some rule,
// copy or window names, in the declared types under which the rules' comparisons behave: codes are
// text and compare as text, the few numeric columns compare as numbers, and the discharge date is a
// date held as canonical text (schema/date_text.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kolt::schema {

inline constexpr std::string_view kTextType = "TEXT";
inline constexpr std::string_view kIntegerType = "INTEGER";

// Where a table lives and who fills it.
enum class TableRole {
  Record,              // discharge records: source database, copied per unit into the working one
  UnitCatalogue,       // CATCLUES: source database, copied whole into the working one
  ReferenceCatalogue,  // catalogue database, copied whole into the working one
  CertificateLink,     // Folio: catalogue database, linked into the working one
  // made by the program beside the source, never in it nor in a working database: CLUESSEL in the
  // memory of the source's connection, RESULTADOSVALIDACION in the run's own database
  SourceAddition,
};

struct Column {
  std::string_view name;
  std::string_view type;  // the engine's declared type: kTextType, kIntegerType, kDateType
};

struct Table {
  std::string_view name;
  TableRole role;
  std::vector<Column> columns;

  const Column* column(std::string_view name) const;  // found without regard to letter case
};

// The columns that name one discharge in every record table, which the rules join them on.
inline constexpr std::string_view kDischargeKey[] = {"folio", "clues", "egreso"};

struct ColumnName {
  std::string_view table, column;
};
// The diagnosis and procedure codes of the records, and the catalogue columns that define them:
// the rules join the one to the other.
inline constexpr ColumnName kCodeColumns[] = {{"EGRESO", "afecprin"}, {"EGRESO", "diag_ini"},
                                              {"EGRESO", "causaext"}, {"AFECCIONES", "afec"},
                                              {"DEFUNC", "causabas"}, {"PROCEDIMIENTOS", "promed"},
                                              {"CATCIE10", "CAUSA"},  {"CATCIE9MC", "CVE_PROC"}};

// Every table of the three databases, record tables first, in a fixed order.
const std::vector<Table>& allTables();

// The tables a unit's working database holds before its rules run.
std::vector<const Table*> workingTables();

// Found without regard to letter case ("Egreso" names EGRESO), as the engine resolves names.
const Table* findTable(std::string_view name);

// "CREATE TABLE {name} ({column} {type}, ...)", leaving out the named columns (a test may build a
// table that lacks one). The result is a statement in the engine's dialect.
std::string createTableStatement(const Table& table,
                                 const std::vector<std::string_view>& omitted = {});

}  // namespace kolt::schema
