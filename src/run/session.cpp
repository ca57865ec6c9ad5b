#include "run/session.h"

#include "access/companion.h"
#include "base/platform/paths.h"
#include "engine/unit_index.h"
#include "run/program_folders.h"
#include "schema/tables.h"

namespace kolt::run {
namespace {

// The discharge record tables, which the run copies unit by unit.
std::vector<std::string_view> recordTables() {
  std::vector<std::string_view> names;
  for (const schema::Table& table : schema::allTables())
    if (table.role == schema::TableRole::Record) names.push_back(table.name);
  return names;
}

}  // namespace

std::filesystem::path cataloguePath(const std::filesystem::path& app) {
  for (const auto& candidate : catalogueCandidates(app)) {
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec)) return candidate;
  }
  return app / "ValidacionesKOLT.db";  // none: the open fails, naming the usual place
}

void openDatabases(Session& session, const std::filesystem::path& source,
                   const access::ImportProgressFn& progress,
                   const std::filesystem::path& catalogue) {
  session.cnnOrigen.close();
  session.cnnCatalogo.close();
  access::ImportOptions options;
  options.progress = progress;
  try {
    const auto engineSource = access::openSourceCompanion(source, session.resultsFolder, options);
    session.cnnOrigen.open(engineSource);
    session.cnnOrigen.setReadOnce();
    // Each unit's copy then reads that unit's rows, not the whole source. Only in a companion,
    // which is the program's own: an index under the program's collation would stop other
    // programs from writing to a user's engine database.
    if (engineSource != source)
      engine::indexForTextLookups(session.cnnOrigen, recordTables(), "clues");
    const auto chosen = catalogue.empty() ? cataloguePath(session.app) : catalogue;
    std::error_code ec;
    if (!std::filesystem::exists(chosen, ec)) {
      // Without a catalogue of its own choosing the user is expected to provide the official one;
      // the demonstration's stands in for it only when present.
      const std::string official = catalogue.empty()
                                       ? platform::utf8(session.app / kCatalogoOficial)
                                       : platform::utf8(chosen);
      std::string text = "No se encuentra la base de datos de catálogos '" + official + "'.";
      if (catalogue.empty())
        text += " Póngala en la carpeta del programa (sin ella se usa la de demostración '" +
                platform::utf8(session.app / kCatalogoDemostracion) + "', que tampoco está).";
      throw base::Error(base::kErrFile, text);
    }
    session.catalogue = access::openSourceCompanion(chosen, session.resultsFolder, options);
    session.cnnCatalogo.open(session.catalogue);
  } catch (...) {
    session.cnnOrigen.close();
    session.cnnCatalogo.close();
    throw;
  }
}

}  // namespace kolt::run
