// "Hallazgos.xls": a run's findings at a glance, beside the summary. A statistician sees which
// units are worst and which rules fire most without opening every unit's workbook.
//
//   PorUnidad  one row per unit, in the order of the unit list: Unidad, Nombre, PERIODO, RESULTADO,
//              Hallazgos (rows over all rules), Reglas (rules with rows), Fallidas (statements that
//              failed), then V1 ... V113, the rows of each rule's result table.
//   PorRegla   one row per rule, in number order: Validacion, Descripcion, Unidades (units where it
//              found rows), Hallazgos (rows over all units), Fallida (units where it failed).
//
// The counts are those the rule frame took when it exported each result table: no second pass over
// the data. A rule whose table could not be counted (its statements failed) has an empty cell in
// PorUnidad, never a 0 that would read as "nothing found".
#pragma once

#include <filesystem>
#include <vector>

#include "results/results_folder.h"
#include "results/unit_result.h"
#include "rules/office_rules.h"

namespace kolt::results {

inline constexpr const char* kLibroHallazgos = "Hallazgos.xls";

// Writes "Hallazgos.xls" in the results folder for `units`, replacing the previous run's. It is
// written as a draft and published whole. Returns its path; throws base::Error when it cannot be
// written.
// The office's rules, when the run had them, follow rule 113 in both sheets.
std::filesystem::path writeFindingsWorkbook(const results::ResultsFolder& folder,
                                            const std::vector<UnitResult>& units,
                                            const rules::OfficeRules& officeRules = {});

}  // namespace kolt::results
