#include "support/paths.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "base/platform/child_process.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"

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
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate =
        std::filesystem::temp_directory_path() /
        ("kolt-test-" + std::to_string(platform::processId()) + "-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

// Through the POSIX shell: the tests that run commands need the Linux tools (python3 and xlrd,
// mdbtools, node), and are not built for Windows.
int runCommand(const std::string& command, std::string& output) {
  output.clear();
#ifdef _WIN32
  (void)command;
  return -1;
#else
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::array<char, 4096> buffer{};
  std::size_t n;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) output.append(buffer.data(), n);
  int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

int runProgram(const std::string& program, const std::vector<std::string>& args,
               std::string& output) {
#ifdef _WIN32
  // No POSIX shell under Wine: the program is started directly, and what it wrote to standard
  // error is its output.
  const auto outcome = platform::runChild(platform::executableIn(binaryDir() / "bin", program),
                                          args, {}, [](std::string_view) {});
  output = outcome.diagnostics;
  return outcome.end == platform::ChildOutcome::End::Exited ? outcome.status : -1;
#else
  std::string command = shellQuoted((binaryDir() / "bin" / program).string());
  for (const std::string& arg : args) command += " " + shellQuoted(arg);
  return runCommand(command + " 2>&1", output);
#endif
}

std::string fileText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
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
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    changeImmutable("+i", path);
  }
}

NoWriting::~NoWriting() {
  for (const auto& path : paths_) {
    changeImmutable("-i", path);
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
  }
}

bool NoWriting::holds() const {
  const std::filesystem::path probe = paths_.front() / "prueba";
  if (!std::ofstream(probe).good()) return true;
  std::filesystem::remove(probe);
  return false;
}

}  // namespace kolt::test
