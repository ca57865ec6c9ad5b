// Writes the tree of an Access-dialect statement as SQLite text.
//
// The differences it bridges: names are quoted so that 697X and [Notificación Diaria] stand as
// written; every text comparison, IN, BETWEEN, GROUP BY and ORDER BY uses the collation KOLT, which
// ignores letter case as the Access engine does (also when a side is a function result, which has
// no column collation to inherit); #yyyy/mm/dd# becomes canonical date text; the Access functions
// are written as their rows of function_table.h say; an expression without an alias is named
// Expr1000, Expr1001, ... as the Access engine names it.
#pragma once

#include <string>
#include <string_view>

#include "engine/dialect/ast.h"

namespace kolt::engine::dialect {

inline constexpr const char* kCollation = "KOLT";
// The order kCollation sorts texts in, by a name that changes whenever the order does
// (functions.cpp, sortKey): accents after their plain letter, ñ between n and o.
inline constexpr const char* kCollationVersion = "KOLT 2";

// The groups of columns whose equalities (e.folio = a.folio, a.afec = b.CAUSA: two columns of one
// group, each qualified by a table of its own select) a connection may compare byte for byte,
// which the engine does several times faster than under kCollation: the discharge key of the
// record tables, and the codes of the records with the catalogues' (schema/tables.h). Bytes give
// the same answer only where every text in the group's columns is one the two orders agree on
// (comparesAsBytes, functions.h), which a unit's working database is checked for (unit_index.h).
inline constexpr unsigned kKeysAsBytes = 1, kCodesAsBytes = 2;

std::string emitSelect(const Select& select);  // without its INTO clause
std::string emitCommand(const Statement& statement);
// An emitted statement whose equalities of the given groups are compared as bytes. The emitter
// writes each such equality under kCollation with a mark of its group after it, which this turns
// into the engine's own order; anything quoted is left as it is.
std::string bytesFor(std::string_view sql, unsigned groups);
std::string quoteName(std::string_view name);
bool isExcelConnect(std::string_view connect);
// FROM name IN 'file', [;DATABASE=file].name, or a name that carries a DATABASE= connection.
bool namesOtherDatabase(const TableRef& table);

}  // namespace kolt::engine::dialect
