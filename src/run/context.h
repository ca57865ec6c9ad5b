// The state one validation session shares between the windows, the batch command and the run:
// the connections and the run's values, under the names the program has always used for them.
// One object per session, passed to whatever needs it; nothing of it is global.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/connection.h"
#include "engine/dialect/translation.h"
#include "run/program_folders.h"

namespace kolt::run {

struct Context {
  explicit Context(std::filesystem::path appFolder)
      : app(std::move(appFolder)),
        carpetaResultados(defaultResultsFolder(app)),
        cache(std::make_shared<engine::TranslationCache>()),
        cnnOrigen(cache),
        cnnCatalogo(cache) {}

  std::filesystem::path app;  // {app}: the folder of the program's executables
  // "{app}/RESULTADOS", or the user's when the program's folder is not its own to write (see
  // program_folders.h), unless the caller chose another.
  std::filesystem::path carpetaResultados;
  std::shared_ptr<engine::TranslationCache> cache;

  engine::Connection cnnOrigen;    // the source database (its engine file)
  engine::Connection cnnCatalogo;  // the catalogue database (its engine file)

  std::filesystem::path gcRutaOrigen;  // the source file the user chose
  std::filesystem::path rutaCatalogo;  // the catalogue's engine file, for the link of Folio

  std::vector<std::string> gaUnidades;  // list texts of the checked units, in list order
  std::string gcFechaIni, gcFechaFin;   // the period bounds as typed, "dd/mm/yyyy"

  const std::filesystem::path& resultados() const { return carpetaResultados; }
};

}  // namespace kolt::run
