// Indexes that let a run hand each unit its rows without reading the whole source for every unit.
//
// The copy statements select a unit's records with `clues = '{unit}'`, compared as the dialect
// compares text (case-insensitive, collation KOLT). An index on `clues` under that same collation
// serves the comparison, so copying one unit reads that unit's rows only; a state's source with
// sixty units is then read about once instead of sixty times. The indexes are made once and stay
// in the database. Only the program's own databases may carry them (an Access file's companion):
// any program that writes to an indexed table needs the collation, which only this one has.
// Results never depend on them: a source without them is read by a full scan.
#pragma once

#include <string_view>
#include <vector>

#include "engine/connection.h"

namespace kolt::engine {

// Makes, where missing, an index on `column` of each of `tables` that has that column, under the
// dialect's text comparison. Returns the tables indexed now or before; a table that is absent,
// lacks the column or cannot be indexed (a read-only file) is left out, never an error.
std::vector<std::string> indexForTextLookups(Connection& cnn,
                                             const std::vector<std::string_view>& tables,
                                             std::string_view column);

// The order those indexes keep their keys in, by a name that changes with the dialect's text
// comparison. An index made in another order is searched in this one and misses rows without a
// word, so a database that keeps the indexes from run to run (a companion) records the name it
// was indexed under, and is made anew under another.
std::string_view textLookupOrder();

// The indexes of a unit's working database, made once its records and catalogues are in: the
// record tables on the discharge key (folio, clues, egreso) and the diagnosis and procedure
// catalogues on their codes, under the dialect's text comparison. The rules join on exactly
// these; without them the engine would build the same index anew for every statement that joins.
// Where every text of the key, or of the codes and the catalogues' codes, is one the collation
// orders as its bytes (digits, capitals, dates: nearly always), those columns get a second index
// without the collation, and the connection compares their equalities as bytes on them
// (Connection::compareAsBytes): a join looks its row up several times faster, and the answer is
// the same, since on such texts the two orders agree. A unit with one text outside them compares
// that group as before, all of it.
// The tables' statistics are gathered last: without them the engine guesses that a three-column
// key picks fewer rows than a code, and joins every diagnosis to its discharge before looking up
// the catalogue row that would have set most of them aside.
// A table without those columns is left out. Throws base::Error when an index cannot be made: a
// working database is written without a journal, so it must not be used after a failed write.
void indexWorkingDatabase(Connection& cnnNueva);

}  // namespace kolt::engine
