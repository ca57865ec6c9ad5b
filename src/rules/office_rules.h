// The office's own rules: a file "ReglasAdicionales.toml" of rules numbered from 114 on, run after
// rule 113 exactly as the program's own rules run.
//
// A rule of the file may only make its own result table: a first statement SELECT ... INTO
// Validacion{numero} FROM ..., then INSERT INTO Validacion{numero} SELECT ... statements. The
// dialect's parser is what decides a statement's form; a rule that reads tables or columns the
// working database lacks, or calls a function the dialect does not know, is refused before any
// unit runs, so a mistake in the file never shows up as a failed rule in every unit.
//
//   limite_segundos = 60            # optional: a statement still running after it is interrupted
//   [[regla]]
//   numero = 114
//   descripcion = "..."
//   sentencias = ["select ... Into Validacion114 From egreso WHERE ...", "INSERT INTO ..."]
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/connection.h"
#include "rules/rule_plan.h"

namespace kolt::rules {

inline constexpr const char* kReglasAdicionales = "ReglasAdicionales.toml";
inline constexpr std::chrono::seconds kDefaultStatementLimit{60};
// The rule catalogue's number is a 16-bit integer.
inline constexpr int kLastOfficeRule = 32767;
// Access's own limit for the text of one statement, in characters.
inline constexpr std::size_t kLongestStatement = 64000;
// The deepest a statement may nest: each parenthesis and each operator chained inside it (And, Or,
// =, +, Not...) counts one level. The dialect reads and writes statements by recursion, and the
// engine refuses expressions more than 1000 levels deep: a statement past this bound would stop
// the program, or fail in every unit, instead of being refused here with a reason. The program's
// deepest rule counts 58.
inline constexpr std::size_t kDeepestNesting = 200;
// The most columns a result table may have: its sheet in the unit's workbook (Excel 97-2003) holds
// no more.
inline constexpr std::size_t kMostResultColumns = 256;

struct OfficeRule {
  int number = 0;
  std::string description;
  std::vector<std::string> statements;
  int line = 0;  // the line of its [[regla]] in the file
};

// The rules a run adds to the program's own; none: the run is the program's 113 rules alone.
struct OfficeRules {
  std::filesystem::path file;
  std::vector<OfficeRule> rules;  // in number order
  std::chrono::seconds statementLimit = kDefaultStatementLimit;

  bool empty() const { return rules.empty(); }
};

// One rule of the file and what is wrong with it.
struct OfficeRuleCheck {
  std::string rule;   // "Regla 114 (línea 3)", or "Regla de la línea 3" when it has no number
  std::string error;  // empty: the rule is correct
};

// A file as read: its rules, in the order written until they are accepted, and each one's check.
struct OfficeRulesFile {
  OfficeRules rules;
  std::vector<OfficeRuleCheck> checks;  // one per rule, in the same order

  bool correct() const;
};

// Reads a rules file and checks each rule's fields and the form of its statements. Throws
// base::Error (base::kErrFile) when the file cannot be read, (base::kErrSyntax) when it is empty
// or is no TOML (the message names the line), or when its top level holds something other than
// limite_segundos and [[regla]].
OfficeRulesFile readOfficeRules(const std::filesystem::path& file);
OfficeRulesFile parseOfficeRules(std::string_view text, const std::filesystem::path& file);

// Why `statement` cannot be statement `index` (0: the first) of rule `number`; empty when it can.
// The first must be a SELECT ... INTO Validacion{number} FROM ..., each further one an INSERT INTO
// Validacion{number} SELECT ...; nothing that writes elsewhere, drops, deletes or changes passes.
// It reads only the unit's tables (the working database's, copied from the source and the
// catalogue), its own result table and those of the office's rules numbered before it: never the
// engine's own tables. It is at most kLongestStatement characters long and kDeepestNesting deep.
std::string statementRefusal(std::string_view statement, std::size_t index, int number);

// How deep `statement` nests, as kDeepestNesting counts it: the most parentheses open at once plus
// the operators written inside each of them, along the deepest path. It bounds the depth of the
// statement's parsed tree, and is found without parsing it.
std::size_t nestingOf(std::string_view statement);

// Runs the statements of every rule still correct on `checkDatabase`, a database whose tables are
// the working database's, empty: what fails there, for a table or column that is missing, a
// function that is unknown or anything the engine refuses, would fail in every unit. Records each
// failure in the rule's check, saying what to change, as it does a result table with more columns
// than its sheet can hold. Rules run in number order, as in a validation.
void compileOfficeRules(OfficeRulesFile& file, engine::Connection& checkDatabase);

// The working database's tables, empty, as the program's tables define them: for checking a file
// without a source.
void createWorkingTables(engine::Connection& cnn);

// The file's rules when every check passed, in number order; otherwise throws base::Error
// (base::kErrSyntax) with every failure, one line each, for the window and kolt-validar to show.
OfficeRules acceptedRules(const OfficeRulesFile& file);

// The rules as the frame runs them, after the catalogue's, each with the file's statement limit.
std::vector<PlannedRule> planOfficeRules(const OfficeRules& rules);

}  // namespace kolt::rules
