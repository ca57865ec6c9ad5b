#include "run/session.h"

#include "db/access/companion.h"

namespace kolt::run {

std::filesystem::path rutaCatalogo(const std::filesystem::path& app) {
  const auto access = app / kCatalogoOficial;
  std::error_code ec;
  return std::filesystem::exists(access, ec) ? access : app / kCatalogoDemostracion;
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
      throw db::DbError(db::kErrFile, text);
    }
    ctx.rutaCatalogo = db::openSourceCompanion(catalogue, ctx.resultados(), options);
    ctx.cnnCatalogo.open(ctx.rutaCatalogo);
  } catch (...) {
    ctx.cnnOrigen.close();
    ctx.cnnCatalogo.close();
    throw;
  }
}

}  // namespace kolt::run
