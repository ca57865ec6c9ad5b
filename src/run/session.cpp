#include "run/session.h"

#include "access/companion.h"
#include "base/platform/files.h"
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

enum class OpenMode { ReadWrite, ReadOnly };

// Opens `cnn` on the engine file of `file` and returns that file; `stamp`, when given, gets that
// file's stamp. A companion the engine cannot read is removed and built once more.
std::filesystem::path openEngineFile(engine::Connection& cnn, const std::filesystem::path& file,
                                     const std::filesystem::path& resultsFolder,
                                     const access::ImportOptions& options, OpenMode mode,
                                     std::optional<platform::FileStamp>* stamp = nullptr) {
  auto open = [&](const std::filesystem::path& engineFile) {
    // Taken before the opening: a file replaced in between then differs at the next look, and is
    // never taken for the one that was read.
    if (stamp) *stamp = platform::fileStamp(engineFile);
    if (mode == OpenMode::ReadOnly)
      cnn.openReadOnly(engineFile);
    else
      cnn.open(engineFile);
  };
  auto engineFile = access::openSourceCompanion(file, resultsFolder, options);
  try {
    open(engineFile);
  } catch (const base::Error& e) {
    if (engineFile == file) throw;
    access::discardCompanion(engineFile);
    if (options.note)
      options.note("La base de datos auxiliar " + platform::utf8(engineFile) + " no pudo leerse (" +
                   e.description() + "); se borró y se importa de nuevo " + platform::utf8(file) +
                   ".");
    engineFile = access::openSourceCompanion(file, resultsFolder, options);
    open(engineFile);
  }
  return engineFile;
}

// The same file, unchanged: size, times and identity alike.
bool sameFile(const platform::FileStamp& a, const platform::FileStamp& b) {
  return a.size == b.size && a.modifiedNs == b.modifiedNs && a.changedNs == b.changedNs &&
         a.device == b.device && a.inode == b.inode;
}

}  // namespace

std::filesystem::path cataloguePath(const std::filesystem::path& app) {
  for (const auto& candidate : catalogueCandidates(app)) {
    std::error_code ec;
    if (std::filesystem::exists(candidate, ec)) return candidate;
  }
  return app / "ValidacionesKOLT.db";  // none: the open fails, naming the usual place
}

access::ImportOptions sourceImportOptions(access::ImportOptions options) {
  // Each unit's copy then reads that unit's rows, not the whole source. Only in a companion,
  // which is the program's own: an index under the program's collation would stop other programs
  // from writing to a user's engine database. Made before the companion gets its name, so that a
  // finished companion is never written. Under its temporary name the companion is a scratch
  // database: nobody else opens it, one left by a killed run is never named and goes with the next
  // build, and it is put on disk whole before it is named.
  options.finish = [](const std::filesystem::path& database) {
    engine::Connection cnn;
    cnn.open(database);
    cnn.setScratch();
    // Each table is read once, and its index written in order. The engine sorts in memory as much
    // as its page cache may hold and the rest in temporary files, unless they are kept in memory
    // as every connection of the program keeps them: then the whole sort stays there, 200 MB for
    // a national source. With files and the small cache, its index costs no more than a state's.
    cnn.setReadOnce();
    cnn.executeNative("PRAGMA temp_store = FILE");
    engine::indexForTextLookups(cnn, recordTables(), "clues");
  };
  options.finishVersion = engine::textLookupOrder();
  return options;
}

void openDatabases(Session& session, const std::filesystem::path& source,
                   const access::ImportProgressFn& progress,
                   const std::filesystem::path& catalogue) {
  session.cnnOrigen.close();
  session.cnnCatalogo.close();
  session.sourceFile = source;
  session.catalogueChoice = catalogue;
  session.sourceEngineStamp.reset();
  access::ImportOptions options;
  options.progress = progress;
  options.note = [&session](const std::string& line) { session.notes.push_back(line); };
  try {
    const access::ImportOptions sourceOptions = sourceImportOptions(options);
    // From here on the source is only read: it may be shared with other runs, or lie in a folder
    // the user may not write. The unit list's CLUESSEL lives in the connection's memory.
    std::optional<platform::FileStamp> sourceStamp;
    const std::filesystem::path sourceEngineFile =
        openEngineFile(session.cnnOrigen, source, session.resultsFolder, sourceOptions,
                       OpenMode::ReadOnly, &sourceStamp);
    session.cnnOrigen.setReadOnce();
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
    session.catalogue = openEngineFile(session.cnnCatalogo, chosen, session.resultsFolder, options,
                                       OpenMode::ReadWrite);
    // Only once both are open: after a failure nothing read before may be trusted as current.
    session.sourceEngineFile = sourceEngineFile;
    session.sourceEngineStamp = sourceStamp;
  } catch (...) {
    session.cnnOrigen.close();
    session.cnnCatalogo.close();
    throw;
  }
}

bool checkDatabases(Session& session, const access::ImportProgressFn& progress) {
  const std::filesystem::path source = session.sourceFile, catalogue = session.catalogueChoice;
  const std::filesystem::path before = session.sourceEngineFile;
  const std::optional<platform::FileStamp> stampBefore = session.sourceEngineStamp;
  openDatabases(session, source, progress, catalogue);
  return session.sourceEngineFile != before || !stampBefore || !session.sourceEngineStamp ||
         !sameFile(*stampBefore, *session.sourceEngineStamp);
}

}  // namespace kolt::run
