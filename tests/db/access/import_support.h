// Shared by the importer tests: where the samples and the importer are, and reading results back.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "db/access/import.h"
#include "db/value.h"

namespace kolt::test {

std::filesystem::path importerPath();
std::filesystem::path sample(const std::string& name);
// Options that use the importer of this build.
db::ImportOptions importOptions();

struct ColumnDecl {
  std::string name;
  std::string declaredType;
};

// Tables of an engine database in creation order, without the companion's own record.
std::vector<std::string> tableNames(const std::filesystem::path& database);
std::vector<ColumnDecl> columnsOf(const std::filesystem::path& database, const std::string& table);
// Every row of a table in insertion order.
std::vector<std::vector<db::Value>> rowsOf(const std::filesystem::path& database,
                                           const std::string& table);

// The files of a folder, names only, sorted.
std::vector<std::string> folderListing(const std::filesystem::path& folder);

}  // namespace kolt::test
