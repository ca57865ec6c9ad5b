// Where the program finds its catalogue and writes its results.
//
// Run from its build folder, the program keeps everything in its own folder: the catalogue beside
// the executables and the results in "{app}/RESULTADOS", as it always has. Installed, its folder
// (/usr/bin) is not the user's to write: the catalogue it ships lies in ../share/validaciones-kolt
// and the results go to a folder of the user's.
#pragma once

#include <filesystem>
#include <vector>

namespace kolt::run {

// "{app}/../share/validaciones-kolt": the data an installed program ships with.
std::filesystem::path installedDataFolder(const std::filesystem::path& app);

// "$XDG_DATA_HOME/validaciones-kolt", or "~/.local/share/validaciones-kolt" when XDG_DATA_HOME is
// unset or not absolute.
std::filesystem::path userDataFolder();

// "{app}/RESULTADOS" when the program runs from a folder of its own that it may write to, else
// "RESULTADOS" in userDataFolder(). An installed program (its catalogue only under
// installedDataFolder) always writes to the user's folder, even when run by an administrator.
std::filesystem::path defaultResultsFolder(const std::filesystem::path& app);

// Where the dialog that chooses the source database opens: the program's folder, as always, or the
// user's home folder for an installed program (whose folder holds only executables).
std::filesystem::path sourceDialogFolder(const std::filesystem::path& app);

// Where the catalogue database is looked for, in order: the official Access file, then the
// demonstration database, beside the executables; the user's own copy of the official file; the
// files an installed program ships.
std::vector<std::filesystem::path> catalogueCandidates(const std::filesystem::path& app);

}  // namespace kolt::run
