#include "rules/rule_plan.h"

#include <cstdint>

namespace kolt::rules {
namespace {

PlannedRule planFixed(const Rule& rule) {
  PlannedRule planned{rule.number, std::string(rule.table), std::string(rule.description), {}};
  planned.statements.assign(rule.statements.begin(), rule.statements.end());
  if (!rule.buildBefore.empty()) planned.buildBefore = &rule.buildBefore;
  if (!rule.dropAfter.empty()) planned.dropAfter = &rule.dropAfter;
  return planned;
}

void planGenerated(const Catalogue& catalogue, std::vector<PlannedRule>& plan) {
  // A 16-bit counter in the rule catalogue's own terms; 113 rules never come near its limit.
  std::int16_t lnValidacion = kLastRuleBeforeGenerated;
  for (const CodeFieldPair& pair : catalogue.pairs) {
    const std::string_view lcTabla = pair.lcTabla;
    const std::string_view lcCampo = pair.lcCampo;
    for (const GeneratedCheck& check : catalogue.generatedChecks) {
      if (!check.runsFor(lcTabla, lcCampo)) continue;
      ++lnValidacion;
      PlannedRule planned{lnValidacion,
                          resultTableName(lnValidacion),
                          expandGenerated(check.description, lcTabla, lcCampo, lnValidacion),
                          {}};
      planned.check = check.name;
      planned.pair = pair;
      for (std::string_view text : check.statements(lcTabla, lcCampo))
        planned.statements.push_back(expandGenerated(text, lcTabla, lcCampo, lnValidacion));
      plan.push_back(std::move(planned));
    }
  }
}

}  // namespace

std::string resultTableName(int number) {
  return "Validacion" + std::to_string(number);
}

std::string expandGenerated(std::string_view text, std::string_view lcTabla,
                            std::string_view lcCampo, int n) {
  const std::string number = std::to_string(n);
  std::string out;
  out.reserve(text.size() + 16);
  for (std::size_t i = 0; i < text.size();) {
    if (text.substr(i, 7) == "{table}") {
      out += lcTabla;
      i += 7;
    } else if (text.substr(i, 7) == "{field}") {
      out += lcCampo;
      i += 7;
    } else if (text.substr(i, 3) == "{N}") {
      out += number;
      i += 3;
    } else {
      out += text[i++];
    }
  }
  return out;
}

std::vector<PlannedRule> planRules(const Catalogue& catalogue) {
  std::vector<PlannedRule> plan;
  bool generatedDone = false;
  for (const Rule* rule : catalogue.fixedRules) {
    if (!generatedDone && rule->number > kLastRuleBeforeGenerated) {
      planGenerated(catalogue, plan);
      generatedDone = true;
    }
    plan.push_back(planFixed(*rule));
  }
  if (!generatedDone) planGenerated(catalogue, plan);
  return plan;
}

}  // namespace kolt::rules
