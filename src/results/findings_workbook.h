// "Hallazgos.xls": a run's findings at a glance, beside the summary. A statistician sees which
// units are worst and which rules fire most without opening every unit's workbook.
//
//   PorUnidad  one row per unit, in the order of the unit list (then the units CATCLUES lacks, not
//              validated): Unidad, Nombre, PERIODO, RESULTADO,
//              Egresos (discharges checked), Hallazgos (rows over all rules), Reglas (rules with
//              rows), Fallidas (statements that failed), then V1 ... V113 and V114 on for the
//              office's rules, the rows of each rule's result table. A sheet holds 256 columns:
//              PorUnidad ends at V248, and the office's rules beyond it go on in sheets
//              "PorUnidad V249-V503", ... after Ejecucion, each with Unidad first and the units in
//              the same rows, so that any number of the office's rules is summed.
//   PorRegla   one row per rule, in number order: Validacion, Descripcion, Unidades (units where it
//              found rows), Hallazgos (rows over all units), Fallida (units where it failed).
//   Ejecucion  what the run was: the source file with its size and modification time, the
//              catalogue with the SHA-256 of what the run read of it, the period, the units asked
//              for, when it ran, the program's version, the rules run and how it ended, one "Dato |
//              Valor" row each. A workbook passed around weeks later still says what it is the
//              result of.
//   Seguimiento  after the others, one row per unit: the date of its latest earlier run over the
//              same period ("Primera validación" when none), its findings then and now (a finding
//              is a rule and a record, finding.h), and how many are new, persist and were
//              corrected since.
//
// The counts are those the rule frame took when it exported each result table: no second pass over
// the data. A rule whose table could not be counted (its statements failed) has an empty cell in
// PorUnidad, never a 0 that would read as "nothing found".
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "results/results_folder.h"
#include "results/unit_result.h"
#include "rules/office_rules.h"

namespace kolt::results {

inline constexpr const char* kLibroHallazgos = "Hallazgos.xls";

// What the sheet Ejecucion tells of the run, gathered when the run starts.
struct RunDescription {
  std::filesystem::path source;               // the file the user chose (an Access file itself)
  std::optional<std::uintmax_t> sourceBytes;  // its size; none when it could not be read
  std::string sourceModified;                 // "aaaa-mm-dd hh:mm:ss", local time; "" unknown
  std::filesystem::path catalogue;            // the catalogue file, as chosen
  std::string catalogueSha256;                // its SHA-256 as the run read it; "" unknown
  bool demonstrationCatalogue = false;        // the catalogue is the demonstration database
  std::string period;                         // "01/01/2024 al 31/12/2024", "todos los egresos"
  std::vector<std::string> unitsAsked;        // their codes, in list order
  std::string started;                        // "aaaa-mm-dd hh:mm:ss", local time
  std::string ending;                         // how the run ended, in the user's words
  // The units of EGRESO that CATCLUES lacks, which no run can validate: listed in PorUnidad as
  // "NO VALIDADA (no está en CATCLUES)" after the others, and in Ejecucion, so that no unit
  // goes unvalidated without a word in the results.
  struct UnvalidatedUnit {
    std::string code, period;     // the period as PorUnidad's PERIODO gives it
    std::int64_t discharges = 0;  // its discharges of the period
  };
  std::vector<UnvalidatedUnit> notInCatalogue;
};

inline constexpr const char* kNoValidada = "NO VALIDADA (no está en CATCLUES)";

// The program's version, as the Ejecucion sheet gives it.
const char* programVersion();

// Writes "Hallazgos.xls" for `units`, to replace the previous run's when the results folder places
// it. It is written as a draft and published whole. Returns its path; throws base::Error when it
// cannot be written. The office's rules, when the run had them, follow rule 113 in both sheets.
std::filesystem::path writeFindingsWorkbook(const results::ResultsFolder& folder,
                                            const std::vector<UnitResult>& units,
                                            const RunDescription& run = {},
                                            const rules::OfficeRules& officeRules = {});

}  // namespace kolt::results
