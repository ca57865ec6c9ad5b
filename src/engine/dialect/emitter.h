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

// How an equality between two discharge-key columns of record tables (e.folio = a.folio, each
// qualified by a table of its own FROM) is written: under kCollation as every comparison, or byte
// for byte, which the engine does several times faster. Bytes give the same answer only where
// every key text is one the two orders agree on (unit_index.h), and are then served by indexes
// made without the collation.
enum class KeyEquality { Collated, Bytes };

std::string emitSelect(const Select& select,
                       KeyEquality keys = KeyEquality::Collated);  // without its INTO clause
std::string emitCommand(const Statement& statement, KeyEquality keys = KeyEquality::Collated);
std::string quoteName(std::string_view name);
bool isExcelConnect(std::string_view connect);
// FROM name IN 'file', [;DATABASE=file].name, or a name that carries a DATABASE= connection.
bool namesOtherDatabase(const TableRef& table);

}  // namespace kolt::engine::dialect
