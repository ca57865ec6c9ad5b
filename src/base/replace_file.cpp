#include "base/replace_file.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"

namespace kolt::base {
namespace {

void removeQuietly(const std::filesystem::path& file) {
  std::error_code ignored;
  std::filesystem::remove(file, ignored);
}

// Removes "{target}.tmp-{pid}-..." files whose process is gone.
void removeAbandonedTemporaries(const std::filesystem::path& target) {
  const std::string prefix = platform::utf8(target.filename()) + ".tmp-";
  std::error_code ec;
  const auto folder = target.has_parent_path() ? target.parent_path() : ".";
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = platform::utf8(entry.path().filename());
    if (!name.starts_with(prefix)) continue;
    const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
    if (!platform::processAlive(pid)) removeQuietly(entry.path());
  }
}

}  // namespace

std::error_code replaceFile(const std::filesystem::path& temporary,
                            const std::filesystem::path& target,
                            const std::function<void()>& write) {
  try {
    if (write) write();
  } catch (...) {
    removeQuietly(temporary);
    throw;
  }
  const std::error_code error = platform::replaceFile(temporary, target);
  if (error) removeQuietly(temporary);
  return error;
}

std::filesystem::path temporaryNameFor(const std::filesystem::path& target) {
  removeAbandonedTemporaries(target);
  static std::atomic<unsigned> counter{0};
  return platform::pathFromUtf8(platform::utf8(target) + ".tmp-" +
                                std::to_string(platform::processId()) + "-" +
                                std::to_string(++counter));
}

}  // namespace kolt::base
