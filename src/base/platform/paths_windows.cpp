#include "base/platform/paths.h"

// windows.h must come before shellapi.h.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace kolt::platform {
namespace {

std::wstring wideFromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
  return wide;
}

std::string utf8FromWide(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size,
                        nullptr, nullptr);
  return text;
}

std::filesystem::path variable(const wchar_t* name) {
  const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(name, value.data(), size);
  value.resize(got);
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(wideFromUtf8(text));
}

std::string utf8(const std::filesystem::path& path) {
  return utf8FromWide(path.native());
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) {
    return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
  }
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

std::filesystem::path programFile(const char*) {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = ::GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (got < name.size()) {
      name.resize(got);
      return std::filesystem::path(name);
    }
    name.resize(name.size() * 2);
  }
}

std::filesystem::path executableIn(const std::filesystem::path& folder, std::string_view name) {
  return folder / pathFromUtf8(std::string(name) + ".exe");
}

std::filesystem::path userDataHome() {
  if (auto local = variable(L"LOCALAPPDATA"); !local.empty()) return local;
  std::error_code ec;
  return std::filesystem::temp_directory_path(ec);
}

std::filesystem::path userHome() {
  return variable(L"USERPROFILE");
}

void prepareConsole() {
  ::SetConsoleOutputCP(CP_UTF8);
  // A newline is one byte, as on Linux, also when the output goes to a file.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

}  // namespace kolt::platform
