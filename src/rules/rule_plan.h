// The rules of a catalogue in the order they run, each with its number and its statement texts
// complete. Working the order out before anything runs keeps the numbering independent of the data
// and of failures: a generated rule keeps its number whether or not its statements succeed.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "rules/catalogue.h"

namespace kolt::rules {

struct PlannedRule {
  int number;
  std::string table;  // "Validacion{number}"
  std::string description;
  std::vector<std::string> statements;
  const std::vector<WorkTable>* buildBefore = nullptr;       // null: none
  const std::vector<std::string_view>* dropAfter = nullptr;  // null: none
  // A generated rule's check and the pair it runs for; empty for a fixed rule.
  std::string_view check = {};
  CodeFieldPair pair = {};
  // A rule of the office's file: its statements still running after this are interrupted. Zero
  // for the catalogue's rules, which run without a limit.
  std::chrono::seconds statementLimit{0};
};

std::vector<PlannedRule> planRules(const Catalogue& catalogue);

// "Validacion" followed by the number in decimal, no blanks or leading zeros.
std::string resultTableName(int number);

// Replaces every {table}, {field} and {N} of a generated check's text.
std::string expandGenerated(std::string_view text, std::string_view lcTabla,
                            std::string_view lcCampo, int n);

}  // namespace kolt::rules
