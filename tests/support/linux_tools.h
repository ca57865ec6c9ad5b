// The tools only the Linux build machine has, and the one place that decides whether a test that
// needs one can run. Under Wine such a test skips and says what it lacks: scripts/test-windows.sh
// holds the Windows programs against the Linux ones instead.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kolt::test {

// Each names what the test needs (support/linux_tools.cpp says it in words).
enum class LinuxTool { Xlrd, Python, MdbTools, Node, ShellScript, PosixShell, PosixFiles };

// Why a test that needs `tool` cannot run on this system; nothing where it can.
std::optional<std::string> missingLinuxTool(LinuxTool tool);

}  // namespace kolt::test

// First thing in a test, or in its fixture's SetUp, that needs `tool`.
#define KOLT_NEEDS_LINUX_TOOL(tool)                                                               \
  if (const auto koltMissingTool = ::kolt::test::missingLinuxTool(::kolt::test::LinuxTool::tool)) \
  GTEST_SKIP() << *koltMissingTool
