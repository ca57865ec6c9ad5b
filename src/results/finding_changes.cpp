#include "results/finding_changes.h"

#include <algorithm>
#include <tuple>

namespace kolt::results {
namespace {

using Key = std::pair<int, std::string>;  // rule, record

bool allDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Folios in the order a person reads them: 9 before 10.
bool recordBefore(const std::string& a, const std::string& b) {
  if (allDigits(a) && allDigits(b) && a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

const char* stateText(FindingState state) {
  switch (state) {
    case FindingState::First:
      return "Primera validación";
    case FindingState::New:
      return "Nuevo";
    case FindingState::Persists:
      return "Persiste";
    case FindingState::Corrected:
      return "Corregido";
    case FindingState::NotCompared:
      return "Sin comparar";
  }
  return "";
}

UnitChanges compareFindings(const std::vector<Finding>& current, const std::set<int>& failedNow,
                            const std::optional<EarlierUnit>& earlier, const std::string& started) {
  UnitChanges changes;
  if (earlier) changes.since = earlier->started;
  std::map<Key, const KeptFinding*> before;
  if (earlier)
    for (const KeptFinding& kept : earlier->findings)
      before.emplace(Key{kept.finding.rule, kept.finding.record}, &kept);

  std::map<Key, TrackedFinding> now;
  for (const Finding& finding : current) {
    auto [it, added] = now.try_emplace(Key{finding.rule, finding.record});
    ++it->second.rows;
    if (!added) continue;
    TrackedFinding& tracked = it->second;
    tracked.finding = finding;
    tracked.firstSeen = started;
    if (!earlier) {
      tracked.state = FindingState::First;
    } else if (earlier->failedRules.count(finding.rule) > 0) {
      tracked.state = FindingState::NotCompared;
    } else if (const auto was = before.find(it->first); was != before.end()) {
      tracked.state = FindingState::Persists;
      if (!was->second->firstSeen.empty()) tracked.firstSeen = was->second->firstSeen;
    } else {
      tracked.state = FindingState::New;
    }
  }

  auto count = [&](int rule, auto member) {
    ++(changes.total.*member);
    ++(changes.byRule[rule].*member);
  };
  for (auto& [key, tracked] : now) {
    count(key.first, &ChangeCounts::now);
    if (tracked.state == FindingState::New) count(key.first, &ChangeCounts::added);
    if (tracked.state == FindingState::Persists) count(key.first, &ChangeCounts::persisting);
    changes.findings.push_back(std::move(tracked));
  }
  for (const auto& [key, kept] : before) {
    count(key.first, &ChangeCounts::before);
    if (now.count(key) > 0) continue;
    // A rule that failed now cannot say the record was corrected: it is listed, not compared.
    const bool failed = failedNow.count(key.first) > 0;
    if (!failed) count(key.first, &ChangeCounts::corrected);
    changes.findings.push_back({kept->finding,
                                failed ? FindingState::NotCompared : FindingState::Corrected, 0,
                                kept->firstSeen});
  }
  std::stable_sort(changes.findings.begin(), changes.findings.end(),
                   [](const TrackedFinding& a, const TrackedFinding& b) {
                     if (a.finding.record != b.finding.record)
                       return recordBefore(a.finding.record, b.finding.record);
                     return a.finding.rule < b.finding.rule;
                   });
  return changes;
}

std::string changesInWords(const UnitChanges& changes) {
  if (!changes.since) return "primera validación";
  const ChangeCounts& t = changes.total;
  const std::string since = " desde " + stampText(*changes.since, false);
  if (t.added == 0 && t.corrected == 0) return "sin cambios" + since;
  std::string text;
  if (t.added > 0) text = "+" + std::to_string(t.added) + (t.added == 1 ? " nuevo" : " nuevos");
  if (t.corrected > 0)
    text += (text.empty() ? "" : ", ") + std::to_string(t.corrected) +
            (t.corrected == 1 ? " corregido" : " corregidos");
  return text + since;
}

}  // namespace kolt::results
