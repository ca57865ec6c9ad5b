#include "base/platform/paths.h"

#include <cstdlib>

namespace kolt::platform {
namespace {

std::filesystem::path absoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return {};
  std::filesystem::path path(value);
  return path.is_absolute() ? path : std::filesystem::path();
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view text) {
  return std::filesystem::path(text);
}

std::string utf8(const std::filesystem::path& path) {
  return path.string();
}

std::vector<std::string> commandLineArguments(int argc, char** argv) {
  return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc) : std::vector<std::string>();
}

std::filesystem::path programFile(const char* argv0) {
  std::error_code ec;
  auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec && argv0 != nullptr) self = std::filesystem::absolute(argv0, ec);
  if (ec) self = std::filesystem::current_path(ec) / "programa";
  return self;
}

std::filesystem::path executableIn(const std::filesystem::path& folder, std::string_view name) {
  return folder / name;
}

std::filesystem::path userDataHome() {
  if (auto xdg = absoluteVariable("XDG_DATA_HOME"); !xdg.empty()) return xdg;
  const auto home = userHome();
  std::error_code ec;
  return (home.empty() ? std::filesystem::temp_directory_path(ec) : home) / ".local" / "share";
}

std::filesystem::path userHome() {
  const char* home = std::getenv("HOME");
  return home != nullptr && *home != '\0' ? std::filesystem::path(home) : std::filesystem::path();
}

void prepareConsole() {}

}  // namespace kolt::platform
