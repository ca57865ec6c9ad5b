#include "support/linux_tools.h"

namespace kolt::test {

namespace {

// In the order of LinuxTool.
constexpr const char* kNeeds[] = {
    "python3 with xlrd to read the workbooks back",
    "python3 to read the samples' dumps",
    "mdb-schema and mdb-export to read the Access files written",
    "node with mdb-reader to read the Access files written",
    "a shell script posing as the importer",
    "the POSIX shell to start the programs",
    "POSIX file permissions, inode numbers and symbolic links",
};

}  // namespace

std::optional<std::string> missingLinuxTool(LinuxTool tool) {
#ifdef _WIN32
  return std::string("Linux only: needs ") + kNeeds[static_cast<int>(tool)] +
         "; scripts/test-windows.sh checks the Windows programs against the Linux ones";
#else
  (void)kNeeds;
  (void)tool;
  return std::nullopt;
#endif
}

}  // namespace kolt::test
