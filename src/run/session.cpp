#include "run/session.h"

#include "access/companion.h"
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

std::filesystem::path rutaCatalogo(const std::filesystem::path& app) {
  for (const auto& candidate : catalogueCandidates(app)) {
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec)) return candidate;
  }
  return app / "ValidacionesKOLT.db";  // none: the open fails, naming the usual place
}

void abreBases(Context& ctx, const std::filesystem::path& origen,
               const access::ImportProgressFn& progress, const std::filesystem::path& catalogo) {
  ctx.cnnOrigen.close();
  ctx.cnnCatalogo.close();
  access::ImportOptions options;
  options.progress = progress;
  try {
    ctx.gcRutaOrigen = origen;
    const auto source = access::openSourceCompanion(origen, ctx.resultados(), options);
    ctx.cnnOrigen.open(source);
    ctx.cnnOrigen.setReadOnce();
    // Each unit's copy then reads that unit's rows, not the whole source. Only in a companion,
    // which is the program's own: an index under the program's collation would stop other
    // programs from writing to a user's engine database.
    if (source != origen) engine::indexForTextLookups(ctx.cnnOrigen, recordTables(), "clues");
    const auto catalogue = catalogo.empty() ? rutaCatalogo(ctx.app) : catalogo;
    std::error_code ec;
    if (!std::filesystem::exists(catalogue, ec)) {
      // Without a catalogue of its own choosing the user is expected to provide the official one;
      // the demonstration's stands in for it only when present.
      const std::string official =
          catalogo.empty() ? (ctx.app / kCatalogoOficial).string() : catalogue.string();
      std::string text = "No se encuentra la base de datos de catálogos '" + official + "'.";
      if (catalogo.empty())
        text += " Póngala en la carpeta del programa (sin ella se usa la de demostración '" +
                (ctx.app / kCatalogoDemostracion).string() + "', que tampoco está).";
      throw base::Error(base::kErrFile, text);
    }
    ctx.rutaCatalogo = access::openSourceCompanion(catalogue, ctx.resultados(), options);
    ctx.cnnCatalogo.open(ctx.rutaCatalogo);
  } catch (...) {
    ctx.cnnOrigen.close();
    ctx.cnnCatalogo.close();
    throw;
  }
}

}  // namespace kolt::run
