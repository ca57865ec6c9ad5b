#include "run/session.h"

#include "db/access/companion.h"
#include "db/unit_index.h"
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
               const db::ImportProgressFn& progress, const std::filesystem::path& catalogo) {
  ctx.cnnOrigen.close();
  ctx.cnnCatalogo.close();
  db::ImportOptions options;
  options.progress = progress;
  try {
    ctx.gcRutaOrigen = origen;
    ctx.cnnOrigen.open(db::openSourceCompanion(origen, ctx.resultados(), options));
    // Each unit's copy then reads that unit's rows, not the whole source.
    db::indexForTextLookups(ctx.cnnOrigen, recordTables(), "clues");
    const auto catalogue = catalogo.empty() ? rutaCatalogo(ctx.app) : catalogo;
    std::error_code ec;
    if (!std::filesystem::exists(catalogue, ec))
      throw db::DbError(db::kErrFile, "No se encuentra la base de datos de catálogos '" +
                                          catalogue.string() +
                                          "'. Póngala en la carpeta del programa.");
    ctx.rutaCatalogo = db::openSourceCompanion(catalogue, ctx.resultados(), options);
    ctx.cnnCatalogo.open(ctx.rutaCatalogo);
  } catch (...) {
    ctx.cnnOrigen.close();
    ctx.cnnCatalogo.close();
    throw;
  }
}

}  // namespace kolt::run
