#include "support/linux_tools.h"

namespace kolt::test {

namespace {

const char* describe(LinuxTool tool) {
  switch (tool) {
    case LinuxTool::Xlrd:
      return "python3 with xlrd to read the workbooks back";
    case LinuxTool::Python:
      return "python3 to read the samples' dumps";
    case LinuxTool::MdbTools:
      return "mdb-schema and mdb-export to read the Access files written";
    case LinuxTool::Node:
      return "node with mdb-reader to read the Access files written";
    case LinuxTool::ShellScript:
      return "a shell script posing as the importer";
    case LinuxTool::PosixShell:
      return "the POSIX shell to start the programs";
    case LinuxTool::PosixFiles:
      return "POSIX file permissions, inode numbers and symbolic links";
  }
  return "a Linux tool";
}

}  // namespace

std::optional<std::string> missingLinuxTool(LinuxTool tool) {
#ifdef _WIN32
  return std::string("Linux only: needs ") + describe(tool) +
         "; scripts/test-windows.sh checks the Windows programs against the Linux ones";
#else
  (void)describe;
  (void)tool;
  return std::nullopt;
#endif
}

}  // namespace kolt::test
