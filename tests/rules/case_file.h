// Rule cases as data: the files of tests/rules/cases/, each a series of cases.
//
//   # a comment
//   caso edades en cada límite            a case: its title, then its rows, then what rules list
//   egreso h23 cveedad=0 edad=23          a discharge; a bare first word is its folio
//   obstet planfam=NULL                   a child row of the last discharge
//   egreso e1 | obstet | productos        rows one after another on one line
//   catcie10 causa=K35 nombre=x           any other table: unnamed columns NULL
//   regla 1: h24 a131                     the folios rule 1 lists, in any order, repeats kept
//   regla 2: nada                         rule 2 lists nothing
//   regla 24,25: w9 / regla 1-26: nada    the same for each rule named
//   regla 2 en orden: m4 a30              ...in the order of its result table
//   regla 93 columnas folio,numproducto: a,2 b,1     ...other columns of each row, comma-joined
//                                                    (a name with blanks in quotes)
//
// A value is NULL, a quoted text ('' is empty, ' 1' keeps its blank), or a bare word: a number
// in a numeric column, text in any other. Columns a discharge or child row does not name take the
// defaults of support/working_db.h, under which it passes rules 1 to 26.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "base/value.h"

namespace kolt::test {

struct CaseRow {
  std::string table;
  std::vector<std::pair<std::string, base::Value>> cells;
};

struct Expectation {
  int line;
  int rule;
  bool inOrder = false;
  std::vector<std::string> columns = {"folio"};
  std::vector<std::string> rows = {};  // the columns of each row, comma-joined; empty: "nada"
};

struct RuleCase {
  std::string name;  // "file:line", where the case begins
  std::string title;
  std::vector<CaseRow> rows;
  std::vector<Expectation> expectations;
};

// Every case of every file of `folder`, files in name order; throws std::runtime_error naming the
// file and line of anything it cannot read.
std::vector<RuleCase> readCaseFiles(const std::filesystem::path& folder);

}  // namespace kolt::test
