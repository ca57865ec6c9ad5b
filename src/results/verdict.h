// The text of a unit's verdict, the same wherever it is shown: ResultadosVal.xls, Hallazgos.xls,
// kolt-validar's verdict lines and the window's end message.
//
// A verdict must never say more than the run checked. "CORRECTA" is earned only by a unit that had
// discharges, all of whose statements ran and none of whose rules found anything; a unit without a
// discharge in the period is "SIN EGRESOS", which certifies nothing; a unit whose rules found rows
// while some statement failed carries the count of failed statements in its verdict, since its
// findings are not all it may hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kolt::results {

inline constexpr const char* kSinEgresos = "SIN EGRESOS";

struct UnitFacts {
  bool findings = false;         // some rule found rows
  bool workbookWritten = false;  // the unit's workbook, holding all of them, was written
  int failedStatements = 0;
  std::int64_t discharges = -1;  // discharges checked; -1 unknown (their copy failed)
};

// "A REVISAR", "A REVISAR (N FALLIDAS)", "VALIDACION INCOMPLETA", "SIN EGRESOS" or "CORRECTA".
std::string unitVerdict(const UnitFacts& facts);

// Whether `verdict` is that of a unit without discharges.
inline bool withoutDischarges(std::string_view verdict) {
  return verdict == kSinEgresos;
}

}  // namespace kolt::results
