// How the rule catalogue is held: as data, one rule per entry, statement texts exactly as they are
// sent to the engine.
//
// A rule's texts are kept character for character (blanks, letter case, doubled and trailing blanks
// included): users who audit the rules compare the statement trace with these texts, so a tidied
// text would be a different rule to them.
#pragma once

#include <string_view>
#include <vector>

namespace kolt::rules {

// A set of discharges gathered for the cross-checking rules. It is dropped right before its first
// statement runs; a union table has a SELECT ... INTO followed by INSERT INTO statements.
struct WorkTable {
  std::string_view name;
  std::vector<std::string_view> statements;
};

// A rule with a fixed number (1 to 41, 81 to 113).
struct Rule {
  int number;
  std::string_view table;        // its result table, "Validacion{number}"
  std::string_view description;  // what it flags, one Spanish sentence for the workbook and the log
  std::vector<std::string_view> statements;      // the first creates `table`, the others add to it
  std::vector<WorkTable> buildBefore = {};       // work tables built right before this rule
  std::vector<std::string_view> dropAfter = {};  // work tables dropped right after its export
};

// One check of the generated passes: it becomes one numbered rule for every (table, field) pair it
// runs for. Texts carry the placeholders {table}, {field} and {N} (the rule number).
struct GeneratedCheck {
  std::string_view name;         // how the catalogue refers to the check: "1c", "2", ...
  std::string_view description;  // may carry {table} and {field}
  bool (*runsFor)(std::string_view lcTabla, std::string_view lcCampo);
  // The check's statements for a pair; some checks take another form for a child table.
  std::vector<std::string_view> (*statements)(std::string_view lcTabla, std::string_view lcCampo);
};

// A (table, field) pair of the generated passes, texts as they go into the statements.
struct CodeFieldPair {
  std::string_view lcTabla;
  std::string_view lcCampo;
};

}  // namespace kolt::rules
