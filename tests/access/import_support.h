// Shared by the importer tests: where the samples and the importer are, and reading results back.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "access/import.h"
#include "base/value.h"

namespace kolt::test {

// A file of the licensed sample set in tests/data/access.
std::filesystem::path sample(const std::string& name);
// The bytes of a test input. Throws naming the file when it cannot be read, so that a missing
// fixture fails its test with the path instead of handing it an empty file.
std::vector<unsigned char> readFixture(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::vector<unsigned char>& bytes);
// Options that use the importer of this build.
access::ImportOptions importOptions();

using Rows = std::vector<std::vector<base::Value>>;
// Runs one statement of `sql` on `database` (created when missing): every row it gives. Throws with
// the engine's error.
Rows query(const std::filesystem::path& database, const std::string& sql);
// Tables of an engine database in creation order, without the companion's own record.
std::vector<std::string> tableNames(const std::filesystem::path& database);
// Every row of a table in insertion order.
Rows rowsOf(const std::filesystem::path& database, const std::string& table);

// Runs `call`: it must throw a base::Error numbered `number` whose description holds `words`.
void expectError(const std::function<void()>& call, long number, const std::string& words);

// The files of a folder, names only, sorted.
std::vector<std::string> folderListing(const std::filesystem::path& folder);

// The bytes of `text` as lower-case hex, two digits each: texts compared byte for byte, whatever
// their encoding, and printable in a failure.
std::string hexOf(const std::string& text);

}  // namespace kolt::test
