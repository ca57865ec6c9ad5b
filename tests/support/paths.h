// Where tests find the project's files and where they may write.
#pragma once

#include <filesystem>
#include <string>

namespace kolt::test {

std::filesystem::path sourceDir();
std::filesystem::path binaryDir();
// The licensed Access files with their independent dumps, part of the repository.
std::filesystem::path accessFixturesDir();
// The folder of further Access samples that may not travel with the repository:
// $KOLT_ACCESS_SAMPLES, else ../shared/access-samples beside it. Tests that need one skip without
// it.
std::filesystem::path accessSamplesDir();

// A fresh folder removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Runs a command through the shell; returns its exit status and fills `output` with its stdout.
int runCommand(const std::string& command, std::string& output);

}  // namespace kolt::test
