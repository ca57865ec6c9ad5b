// Paths as the program keeps them in its texts: UTF-8, whatever the system's own encoding.
//
// A path is made from a text, and turned into one, only through these: on Windows the standard
// library would read and write the bytes of a std::string in the system's ANSI code page, so a
// folder named "año" would not be found, and a name out of the system would reach SQLite, libmdb
// or a message in the wrong encoding.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::platform {

std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8(const std::filesystem::path& path);

// The program's arguments, past the program's name, as UTF-8 texts (on Windows read from the
// command line the system keeps in UTF-16, not from the narrow `argv`).
std::vector<std::string> commandLineArguments(int argc, char** argv);

// This executable's own file.
std::filesystem::path programFile(const char* argv0);
// `name` as an executable file in `folder` ("name.exe" on Windows).
std::filesystem::path executableIn(const std::filesystem::path& folder, std::string_view name);

// The folder where the user's applications keep their data: "$XDG_DATA_HOME", else
// "~/.local/share" on POSIX (in the temporary folder when there is no home); "%LOCALAPPDATA%" on
// Windows (the temporary folder when unset).
std::filesystem::path userDataHome();
// The user's home folder; empty when the system names none.
std::filesystem::path userHome();

// Console output in UTF-8, as every text the program writes is.
void prepareConsole();

}  // namespace kolt::platform
