// Copying tables of an engine database into a new Access (Jet 4) file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kolt::access_writer {

struct ExportedTable {
  std::string name;
  std::uint64_t rows = 0;
};

// Writes the named tables of `engineFile` (every table when `tables` is empty, in the order they
// were created) into a new Access file `accessFile`. Each table is read twice: once to choose its
// column types (column_choice.h), once to copy its rows. The file is built under a temporary name
// beside the target and renamed into place at the end, so a failed export never leaves a partial
// file under the target's name. Throws base::Error: base::kErrNoSuchTable for a named table that
// does not exist, base::kErrFile when a file cannot be read or written, others as JetWriter does.
std::vector<ExportedTable> exportToAccess(const std::filesystem::path& engineFile,
                                          const std::filesystem::path& accessFile,
                                          const std::vector<std::string>& tables = {});

}  // namespace kolt::access_writer
