// The session: what the windows and the batch command open once and keep while the user works,
// the two databases and the program's folders. One object per session, passed to whatever needs it;
// nothing of it is global. A run is told what to do by its RunRequest alone.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "access/import.h"
#include "base/platform/files.h"
#include "engine/connection.h"
#include "run/program_folders.h"

namespace kolt::run {

inline constexpr const char* kCatalogoOficial = "ValidacionesKOLT.mdb";
inline constexpr const char* kCatalogoDemostracion = "ValidacionesKOLT.db";

// Whether `catalogue` is the demonstration database. Its few certificate numbers make false
// findings of rule 113 on real data, so every result of a run that used it says so.
inline bool isDemonstrationCatalogue(const std::filesystem::path& catalogue) {
  return catalogue.filename() == kCatalogoDemostracion;
}

struct Session {
  explicit Session(std::filesystem::path appFolder)
      : app(std::move(appFolder)), resultsFolder(defaultResultsFolder(app)) {}

  std::filesystem::path app;  // {app}: the folder of the program's executables
  // "{app}/RESULTADOS", or the user's when the program's folder is not its own to write (see
  // program_folders.h), unless the caller chose another.
  std::filesystem::path resultsFolder;

  engine::Connection cnnOrigen;     // the source database (its engine file), read-only
  engine::Connection cnnCatalogo;   // the catalogue database (its engine file)
  std::filesystem::path catalogue;  // the catalogue's engine file, for the link of Folio

  // What openDatabases was last given, for checkDatabases.
  std::filesystem::path sourceFile, catalogueChoice;
  // The engine file cnnOrigen reads (the source's companion, or the source itself) as it was
  // when opened. A companion is never written once it has its name, so another stamp means
  // another file: the source was imported again, here or by another run.
  std::filesystem::path sourceEngineFile;
  std::optional<platform::FileStamp> sourceEngineStamp;
  // Lines for the next run's log about what opening the databases found (a damaged companion
  // built again); the run that writes them takes them.
  std::vector<std::string> notes;
};

// The catalogue database: the first of catalogueCandidates(app) that exists (the official Access
// file beside the program when it is there, else the demonstration database the program ships
// with).
std::filesystem::path cataloguePath(const std::filesystem::path& app);

// `options` for importing a source into its companion as every run reads it: with its index for
// each unit's rows, and the text order that index was made in, which a later run checks. A
// listing of the units builds the same companion, so that neither builds the other's again.
access::ImportOptions sourceImportOptions(access::ImportOptions options);

// Opens session.cnnOrigen on `source` (an Access file is read through its companion engine
// database, imported when needed) and session.cnnCatalogo on the catalogue (`catalogue`, or
// cataloguePath(session.app) when empty). A companion is built finished, indexes included; one the
// engine cannot read is built again once, and session.notes says so. Throws base::Error, leaving
// both connections closed, when either cannot be opened.
void openDatabases(Session& session, const std::filesystem::path& source,
                   const access::ImportProgressFn& progress = {},
                   const std::filesystem::path& catalogue = {});

// At the start of every run: opens the databases again as openDatabases last did, so that a
// source or catalogue file changed or replaced since then is imported again and the run reads
// what the file holds now. Returns whether the source now read is another than the one read
// before (changed or replaced since, and so imported again): what was read from it then, such as
// its unit list, may no longer hold. Throws as openDatabases.
bool checkDatabases(Session& session, const access::ImportProgressFn& progress = {});

}  // namespace kolt::run
