#include "rules/catalogue.h"

namespace kolt::rules {
namespace {

Catalogue assemble() {
  Catalogue catalogue;
  for (const std::vector<Rule>* group :
       {&dischargeFieldRules(), &familyPlanningRules(), &stayOutcomeRules(), &procedureRules(),
        &obstetricEventRules(), &deliveryTypeRules(), &notificationRules(), &methodSixRules(),
        &deathCertificateRules()})
    for (const Rule& rule : *group) catalogue.fixedRules.push_back(&rule);
  catalogue.generatedChecks = diagnosisCodeChecks();
  catalogue.pairs.assign(kCodeFieldPairs.begin(), kCodeFieldPairs.end());
  return catalogue;
}

}  // namespace

const Catalogue& ruleCatalogue() {
  static const Catalogue catalogue = assemble();
  return catalogue;
}

}  // namespace kolt::rules
