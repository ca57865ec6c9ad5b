// The rule catalogue: every group of rules, and the order in which they run.
//
// Order of all rules: the fixed rules up to 41, then the generated passes (one per code-field pair,
// numbered on from 41), then the fixed rules from 81 on. A rule's number is its place in that
// order.
#pragma once

#include <array>
#include <string_view>
#include <vector>

#include "rules/rule.h"

namespace kolt::rules {

// The last fixed rule before the generated passes; the counter of those passes starts here.
inline constexpr int kLastRuleBeforeGenerated = 41;
// The first fixed rule after them.
inline constexpr int kFirstRuleAfterGenerated = 81;
// The last rule of the complete catalogue.
inline constexpr int kLastRule = 113;

inline constexpr std::array<CodeFieldPair, 5> kCodeFieldPairs = {{
    {"Egreso", "Afecprin"},
    {"Egreso", "Causaext"},
    {"Egreso", "diag_ini"},
    {"Defunc", "Causabas"},
    {"Afecciones", "Afec"},
}};

// The groups, one file each.
const std::vector<Rule>& dischargeFieldRules();            // 1 to 26
const std::vector<Rule>& familyPlanningRules();            // 27 to 36
const std::vector<Rule>& stayOutcomeRules();               // 37 to 41
const std::vector<GeneratedCheck>& diagnosisCodeChecks();  // the generated 42 to 80
const std::vector<Rule>& procedureRules();                 // 81 to 84
const std::vector<Rule>& obstetricEventRules();            // 85 to 99
const std::vector<Rule>& deliveryTypeRules();              // 100 to 106
const std::vector<Rule>& notificationRules();              // 107 and 108
const std::vector<Rule>& methodSixRules();                 // 109 to 111
const std::vector<Rule>& deathCertificateRules();          // 112 and 113

// The groups in number order, named as the rule reference for the office (docs/reglas.md) shows
// them.
struct RuleGroup {
  int first;
  int last;
  std::string_view name;
};
inline constexpr std::array<RuleGroup, 10> kRuleGroups = {{
    {1, 26, "Campos del egreso"},
    {27, 36, "Planificación familiar: diagnóstico, procedimiento y método"},
    {37, 41, "Estancia y desenlace según el diagnóstico"},
    {42, 80, "Códigos de diagnóstico contra CATCIE10 (reglas generadas)"},
    {81, 84, "Procedimientos contra CATCIE9MC"},
    {85, 99, "Evento obstétrico y productos"},
    {100, 106, "Tipo de nacimiento y cesárea"},
    {107, 108, "Enfermedades de notificación"},
    {109, 111, "Método de planificación familiar '6'"},
    {112, 113, "Certificados de defunción"},
}};

struct Catalogue {
  std::vector<const Rule*> fixedRules;  // in number order
  std::vector<GeneratedCheck> generatedChecks;
  std::vector<CodeFieldPair> pairs;
};

// The catalogue the program runs.
const Catalogue& ruleCatalogue();

}  // namespace kolt::rules
