#include "results/verdict.h"

#include "results/summary.h"

namespace kolt::results {

std::string unitVerdict(const UnitFacts& facts) {
  const std::string verdict =
      verdictOf(facts.findings, facts.workbookWritten, facts.failedStatements > 0);
  if (verdict == kARevisar && facts.failedStatements > 0)
    // ResultadosVal.xls keeps its three columns: the count goes with the verdict.
    return verdict + " (" + std::to_string(facts.failedStatements) +
           (facts.failedStatements == 1 ? " FALLIDA)" : " FALLIDAS)");
  if (verdict == kCorrecta && facts.discharges == 0) return kSinEgresos;
  return verdict;
}

}  // namespace kolt::results
