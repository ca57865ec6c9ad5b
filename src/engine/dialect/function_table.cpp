#include "engine/dialect/function_table.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace kolt::engine::dialect {
namespace {

using enum FunctionFamily;

// The aggregates are SQLite's own; IIf has no SQLite name: the emitter writes it as a CASE.
// clang-format off
constexpr AccessFunction kWrittenByTheEngine[] = {
  {"IIf", "", 3, 3, nullptr, Condition, ResultKind::Unknown,
   "IIf(condición, sí, no)", "IIf(edad > 17, 'adulto', 'menor')",
   "condición verdadera: `sí`; falsa o nula: `no`"},
  {"Count", "count", 1, 1, nullptr, Aggregate, ResultKind::Number,
   "Count(valor)", "Having Count(*) > 1",
   "cuenta los valores que no son nulos; `Count(*)` cuenta filas"},
  {"Sum", "sum", 1, 1, nullptr, Aggregate, ResultKind::Number,
   "Sum(número)", "Having Sum(dias_esta) > 365", "no cuenta los nulos; sin valores: nulo"},
  {"Min", "min", 1, 1, nullptr, Aggregate, ResultKind::Unknown,
   "Min(valor)", "Having Min(egreso) < #01/01/2024#", "no cuenta los nulos; sin valores: nulo"},
  {"Max", "max", 1, 1, nullptr, Aggregate, ResultKind::Unknown,
   "Max(valor)", "Having Max(edad) > 100", "no cuenta los nulos; sin valores: nulo"},
  {"Avg", "avg", 1, 1, nullptr, Aggregate, ResultKind::Number,
   "Avg(número)", "Having Avg(edad) > 80", "no cuenta los nulos; sin valores: nulo"},
};
// clang-format on

constexpr char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

constexpr bool sameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

// Each name once in any letter case, so a lookup has one answer; a registered function has a name
// to be registered under; SQLite registers at most 127 arguments; and the reference has something
// to say of each.
bool wellFormed(const std::vector<AccessFunction>& rows) {
  for (auto f = rows.begin(); f != rows.end(); ++f) {
    if (f->minArgs < 0 || f->minArgs > f->maxArgs || f->maxArgs > 127) return false;
    if (f->engine.empty() && f->implementation != nullptr) return false;
    if (f->usage.empty() || f->example.empty() || f->behaviour.empty()) return false;
    for (auto g = rows.begin(); g != f; ++g)
      if (sameName(f->name, g->name)) return false;
  }
  return true;
}

std::vector<AccessFunction> joinedRows() {
  std::vector<AccessFunction> rows;
  for (std::span<const AccessFunction> part :
       {textAndNumberFunctions(), formatFunctions(), dateFunctions(),
        std::span<const AccessFunction>(kWrittenByTheEngine)})
    rows.insert(rows.end(), part.begin(), part.end());
  std::stable_sort(rows.begin(), rows.end(),
                   [](const auto& a, const auto& b) { return a.family < b.family; });
  // The rows are constants of the program: a malformed one is a fault of this build, found by the
  // first statement of any test.
  if (!wellFormed(rows)) throw std::logic_error("kolt: la tabla de funciones está mal formada");
  return rows;
}

}  // namespace

std::span<const AccessFunction> accessFunctions() {
  static const std::vector<AccessFunction> rows = joinedRows();
  return rows;
}

const AccessFunction* findAccessFunction(std::string_view name) {
  for (const AccessFunction& f : accessFunctions())
    if (sameName(f.name, name)) return &f;
  return nullptr;
}

}  // namespace kolt::engine::dialect
