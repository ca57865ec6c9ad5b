// What changed in a unit since its latest earlier run over the same period: each finding of either
// run is "Nuevo" (listed now, not then), "Persiste" (listed both times) or "Corregido" (listed
// then, not now), matched by rule and record (finding.h).
//
// A rule that failed in either run has no result to compare: its findings are "Sin comparar", so
// that a rule which failed this month never reports last month's findings as corrected, and one
// which failed last month never calls this month's new. With no earlier run every finding is
// "Primera validación".
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "results/finding.h"

namespace kolt::results {

enum class FindingState { First, New, Persists, Corrected, NotCompared };

// "Primera validación", "Nuevo", "Persiste", "Corregido", "Sin comparar".
const char* stateText(FindingState state);

// A finding as a run kept it (history.h): when it was first seen.
struct KeptFinding {
  Finding finding;
  std::string firstSeen;  // "aaaa-mm-dd hh:mm:ss" of the run that first listed it
};

// The unit as its latest earlier run over the same period left it.
struct EarlierUnit {
  std::string started;  // "aaaa-mm-dd hh:mm:ss"
  std::vector<KeptFinding> findings;
  std::set<int> failedRules;
};

// One finding (a rule and a record) of either run.
struct TrackedFinding {
  Finding finding;  // this run's first row of it; the earlier run's for one not listed now
  FindingState state = FindingState::First;
  std::int64_t rows = 0;  // this run's rows of it; 0 for one not listed now
  std::string firstSeen;
};

struct ChangeCounts {
  std::int64_t before = 0, now = 0, added = 0, persisting = 0, corrected = 0;
};

struct UnitChanges {
  std::optional<std::string> since;      // the earlier run's date; none: a first validation
  std::vector<TrackedFinding> findings;  // by record, then rule; corrected ones included
  ChangeCounts total;
  std::map<int, ChangeCounts> byRule;
};

// `current` are this run's rows in any order, `started` this run's "aaaa-mm-dd hh:mm:ss".
UnitChanges compareFindings(const std::vector<Finding>& current, const std::set<int>& failedNow,
                            const std::optional<EarlierUnit>& earlier, const std::string& started);

// What changed, in a few words: "+12 nuevos, 11 corregidos desde 07/11/2026", "sin cambios desde
// 07/11/2026", "primera validación".
std::string changesInWords(const UnitChanges& changes);

}  // namespace kolt::results
