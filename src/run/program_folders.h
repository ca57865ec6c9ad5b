// Where the program finds its catalogue and writes its results.
//
// Unpacked in a folder of its own (the build folder, the Windows zip), the program keeps everything
// there: the catalogue beside the executables and the results in "{app}/RESULTADOS". Installed,
// its folder is not the user's: a Debian package puts the executables in /usr/bin and the catalogue
// it ships in ../share/validaciones-kolt; the Windows installer leaves the marker file "instalado"
// beside the executables. An installed program writes its results to a folder of the user's, and
// takes the user's own catalogue there before anything beside the executables, so that neither an
// uninstall nor an update of the program touches them.
#pragma once

#include <filesystem>
#include <vector>

namespace kolt::run {

// The file the Windows installer puts beside the executables; its contents are not read.
inline constexpr const char* kInstalledMarker = "instalado";

// "{app}/../share/validaciones-kolt": the data an installed program ships with.
std::filesystem::path installedDataFolder(const std::filesystem::path& app);

// "$XDG_DATA_HOME/validaciones-kolt", or "~/.local/share/validaciones-kolt" when XDG_DATA_HOME is
// unset or not absolute; "%LOCALAPPDATA%\validaciones-kolt" on Windows.
std::filesystem::path userDataFolder();

// Whether the program in `app` was installed: the installer's marker is beside it, or its catalogue
// lies only under installedDataFolder.
bool installedProgram(const std::filesystem::path& app);

// "{app}/RESULTADOS" when the program runs from a folder of its own that it may write to, else
// "RESULTADOS" in userDataFolder(). An installed program always writes to the user's folder, even
// when run by an administrator.
std::filesystem::path defaultResultsFolder(const std::filesystem::path& app);

// Where the dialog that chooses the source database opens: the program's folder, or the user's
// home folder for an installed program (whose folder holds only what it ships).
std::filesystem::path sourceDialogFolder(const std::filesystem::path& app);

// Where the catalogue database is looked for, in order. Unpacked: the official Access file, then
// the demonstration database, beside the executables; then the user's own copy of the official
// file. Installed: the user's copy first, then those beside the executables (where an office's
// IT may have put the official file for every user). Last, the files a Debian package ships.
std::vector<std::filesystem::path> catalogueCandidates(const std::filesystem::path& app);

}  // namespace kolt::run
