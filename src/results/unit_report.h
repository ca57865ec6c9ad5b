// The two sheets that close a hospital's workbook, after its rule sheets and catValidaciones (so
// whatever reads those by name or position still finds them):
//
//   Resumen      what the workbook is: the unit, the period, the source file, when the run was
//                made, the catalogue ("CATÁLOGO DE DEMOSTRACIÓN" in plain sight when it is that
//                one), the discharges checked, the earlier run it is compared with; then one row
//                per rule with findings now or corrected since: rows, records, records per 100
//                discharges, new, persisting and corrected.
//   Seguimiento  one row per finding, now and corrected, ordered by record: folio, discharge date,
//                rule, description, state, first seen; so a hospital sees each record with every
//                rule it breaks.
//
// The workbook opens on Resumen, and each of its sheets prints with the unit, the sheet's title and
// the rule's description in the page header.
#pragma once

#include <map>
#include <string>

#include "results/unit_result.h"
#include "xls/workbook.h"

namespace kolt::results {

// What the sheets tell of the run, besides the unit.
struct ReportContext {
  std::string source;     // the file the user chose
  std::string catalogue;  // the catalogue file
  bool demonstrationCatalogue = false;
  std::string started;                                       // "aaaa-mm-dd hh:mm:ss"
  const std::map<int, std::string>* descriptions = nullptr;  // by rule number
};

// The text that stands wherever the demonstration catalogue was used.
inline constexpr const char* kCatalogoDeDemostracion = "CATÁLOGO DE DEMOSTRACIÓN";

// Adds Resumen and Seguimiento to `book`, which holds the unit's rule sheets and catValidaciones,
// sets their page headers and makes Resumen the sheet it opens on. Throws base::Error as
// xls::Workbook does.
void addUnitReport(xls::Workbook& book, const UnitResult& unit, const ReportContext& context);

}  // namespace kolt::results
