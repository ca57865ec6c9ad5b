// The tools only the Linux build machine has, and the one place that decides whether a test that
// needs one can run. Under Wine such a test skips and says what it lacks: scripts/test-windows.sh
// holds the Windows programs against the Linux ones instead.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kolt::test {

enum class LinuxTool {
  Xlrd,         // python3 with xlrd, reading the workbooks back
  Python,       // python3 reading the independent dumps of the Access samples
  MdbTools,     // mdb-schema and mdb-export reading the Access files written
  Node,         // node with mdb-reader reading the Access files written
  ShellScript,  // a shell script posing as the importer
  PosixShell,   // programs started through the POSIX shell (runCommand)
  PosixFiles,   // file permissions, inode numbers and symbolic links
};

// Why a test that needs `tool` cannot run on this system; nothing where it can.
std::optional<std::string> missingLinuxTool(LinuxTool tool);

}  // namespace kolt::test

// First thing in a test, or in its fixture's SetUp, that needs `tool`.
#define KOLT_NEEDS_LINUX_TOOL(tool)                                                               \
  if (const auto koltMissingTool = ::kolt::test::missingLinuxTool(::kolt::test::LinuxTool::tool)) \
  GTEST_SKIP() << *koltMissingTool
