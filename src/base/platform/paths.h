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

// Turns main's `argc` and `argv` into UTF-8 texts (read as commandLineArguments does), for as long
// as it lives, for a program that reads its arguments as main hands them over:
//   const kolt::platform::Utf8Argv utf8Argv(argc, argv);
class Utf8Argv {
 public:
  Utf8Argv(int& argc, char**& argv) : texts_(commandLineArguments(argc, argv)) {
    texts_.insert(texts_.begin(), argc > 0 ? argv[0] : "");
    for (auto& text : texts_) pointers_.push_back(text.data());
    pointers_.push_back(nullptr);
    argc = static_cast<int>(texts_.size());
    argv = pointers_.data();
  }
  Utf8Argv(const Utf8Argv&) = delete;
  Utf8Argv& operator=(const Utf8Argv&) = delete;

 private:
  std::vector<std::string> texts_;
  std::vector<char*> pointers_;
};

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
