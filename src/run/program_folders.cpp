#include "run/program_folders.h"

#include <cstdlib>

#include "base/platform/files.h"

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

bool installed(const fs::path& app) {
  return !present(app / "ValidacionesKOLT.db") &&
         present(installedDataFolder(app) / "ValidacionesKOLT.db");
}

}  // namespace

fs::path installedDataFolder(const fs::path& app) {
  return (app / ".." / "share" / "validaciones-kolt").lexically_normal();
}

fs::path userDataFolder() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg != nullptr && fs::path(xdg).is_absolute()) return fs::path(xdg) / "validaciones-kolt";
  const char* home = std::getenv("HOME");
  const fs::path base =
      home != nullptr && *home != '\0' ? fs::path(home) : fs::temp_directory_path();
  return base / ".local" / "share" / "validaciones-kolt";
}

fs::path defaultResultsFolder(const fs::path& app) {
  const fs::path own = app / "RESULTADOS";
  const bool ownUsable = present(own) ? writable(own) : writable(app);
  if (!installed(app) && ownUsable) return own;
  return userDataFolder() / "RESULTADOS";
}

fs::path sourceDialogFolder(const fs::path& app) {
  const char* home = std::getenv("HOME");
  if (!installed(app) || home == nullptr || *home == '\0') return app;
  return home;
}

std::vector<fs::path> catalogueCandidates(const fs::path& app) {
  const fs::path shipped = installedDataFolder(app);
  return {app / "ValidacionesKOLT.mdb", app / "ValidacionesKOLT.db",
          userDataFolder() / "ValidacionesKOLT.mdb", shipped / "ValidacionesKOLT.mdb",
          shipped / "ValidacionesKOLT.db"};
}

}  // namespace kolt::run
