#include "run/program_folders.h"

#include "base/platform/files.h"
#include "base/platform/paths.h"

namespace kolt::run {
namespace {

namespace fs = std::filesystem;

bool present(const fs::path& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

// A folder not made yet counts as writable: it is made where the program's own folders go.
bool writable(const fs::path& folder) {
  const std::error_code denied = platform::writePermission(folder);
  return !denied || denied == std::errc::no_such_file_or_directory;
}

}  // namespace

fs::path installedDataFolder(const fs::path& app) {
  return (app / ".." / "share" / "validaciones-kolt").lexically_normal();
}

fs::path userDataFolder() {
  return platform::userDataHome() / "validaciones-kolt";
}

bool installedProgram(const fs::path& app) {
  if (present(app / kInstalledMarker)) return true;
  return !present(app / "ValidacionesKOLT.db") &&
         present(installedDataFolder(app) / "ValidacionesKOLT.db");
}

fs::path defaultResultsFolder(const fs::path& app) {
  const fs::path own = app / "RESULTADOS";
  const bool ownUsable = present(own) ? writable(own) : writable(app);
  if (!installedProgram(app) && ownUsable) return own;
  return userDataFolder() / "RESULTADOS";
}

fs::path sourceDialogFolder(const fs::path& app) {
  const fs::path home = platform::userHome();
  if (!installedProgram(app) || home.empty()) return app;
  return home;
}

std::vector<fs::path> catalogueCandidates(const fs::path& app) {
  const fs::path shipped = installedDataFolder(app);
  const fs::path users = userDataFolder() / "ValidacionesKOLT.mdb";
  std::vector<fs::path> candidates = {app / "ValidacionesKOLT.mdb", app / "ValidacionesKOLT.db"};
  candidates.insert(installedProgram(app) ? candidates.begin() : candidates.end(), users);
  candidates.insert(candidates.end(),
                    {shipped / "ValidacionesKOLT.mdb", shipped / "ValidacionesKOLT.db"});
  return candidates;
}

}  // namespace kolt::run
