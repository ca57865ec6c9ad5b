// Where tests find the project's files and where they may write.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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

// Files and folders no one may write while the object lives: by their permissions, and for a user
// whom permissions do not stop (root) by the immutable attribute, where the file system has one.
class NoWriting {
 public:
  explicit NoWriting(std::vector<std::filesystem::path> paths);
  ~NoWriting();
  NoWriting(const NoWriting&) = delete;
  NoWriting& operator=(const NoWriting&) = delete;

  // False when the first path, a folder, can still be written here (the test should then skip).
  bool holds() const;

 private:
  std::vector<std::filesystem::path> paths_;
};

// Runs a command through the shell; returns its exit status and fills `output` with its stdout.
int runCommand(const std::string& command, std::string& output);
// `text` between single quotes for the POSIX shell, any quote in it kept.
std::string shellQuoted(const std::string& text);
// Runs one of this build's programs (bin/`program`) with `args`, each quoted for the shell, and
// its standard error with its output; returns its exit status.
int runProgram(const std::string& program, const std::vector<std::string>& args,
               std::string& output);
// The bytes of a file; empty when it cannot be read.
std::string fileText(const std::filesystem::path& file);

}  // namespace kolt::test
