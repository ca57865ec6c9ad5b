// Opening the two databases a session works on: the source the user chose and the program's
// catalogue.
#pragma once

#include <filesystem>

#include "access/import.h"
#include "run/context.h"

namespace kolt::run {

inline constexpr const char* kCatalogoOficial = "ValidacionesKOLT.mdb";
inline constexpr const char* kCatalogoDemostracion = "ValidacionesKOLT.db";

// The catalogue database: the first of catalogueCandidates(app) that exists (the official Access
// file beside the program when it is there, else the demonstration database the program ships
// with).
std::filesystem::path rutaCatalogo(const std::filesystem::path& app);

// Sets ctx.gcRutaOrigen and opens ctx.cnnOrigen on the source (an Access file is read through its
// companion engine database, imported when needed) and ctx.cnnCatalogo on the catalogue
// (`catalogo`, or rutaCatalogo(ctx.app) when empty). Throws base::Error, leaving both connections
// closed, when either cannot be opened.
void abreBases(Context& ctx, const std::filesystem::path& origen,
               const access::ImportProgressFn& progress = {},
               const std::filesystem::path& catalogo = {});

}  // namespace kolt::run
