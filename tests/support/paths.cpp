#include "support/paths.h"

#include <unistd.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace kolt::test {

std::filesystem::path sourceDir() {
  return KOLT_SOURCE_DIR;
}
std::filesystem::path binaryDir() {
  return KOLT_BINARY_DIR;
}

std::filesystem::path accessFixturesDir() {
  return sourceDir() / "tests" / "data" / "access";
}

std::filesystem::path accessSamplesDir() {
  if (const char* env = std::getenv("KOLT_ACCESS_SAMPLES")) return env;
  return sourceDir().parent_path() / "shared" / "access-samples";
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kolt-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

int runCommand(const std::string& command, std::string& output) {
  output.clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buffer{};
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

void changeImmutable(const char* change, const std::filesystem::path& path) {
  const int status = std::system(
      ("chattr " + std::string(change) + " '" + path.string() + "' 2>/dev/null").c_str());
  (void)status;  // without the attribute, permissions alone must do
}

}  // namespace

NoWriting::NoWriting(std::vector<std::filesystem::path> paths) : paths_(std::move(paths)) {
  for (const auto& path : paths_) {
    ::chmod(path.c_str(), std::filesystem::is_directory(path) ? 0555 : 0444);
    changeImmutable("+i", path);
  }
}

NoWriting::~NoWriting() {
  for (const auto& path : paths_) {
    changeImmutable("-i", path);
    ::chmod(path.c_str(), std::filesystem::is_directory(path) ? 0755 : 0644);
  }
}

bool NoWriting::holds() const {
  const std::filesystem::path probe = paths_.front() / "prueba";
  if (!std::ofstream(probe).good()) return true;
  std::filesystem::remove(probe);
  return false;
}

}  // namespace kolt::test
