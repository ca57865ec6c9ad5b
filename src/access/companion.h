// The companion database: the engine-native copy of an Access file that the program works on.
//
// The Access file itself is only ever read. Its tables are imported once into "{file}.kolt.db"
// beside it (or, when that folder cannot be written, into the results folder); runs only read it.
// The companion records what it was made from (full path, size, modification and change times,
// device and inode, the file's first page, and the version of what was finished in it: the order
// of its indexes) and is reused while all of these still match; otherwise it is rebuilt under a
// temporary name, finished there (ImportOptions::finish: its indexes) and only then renamed into
// place, so a half-made companion is never used and a finished one is never written again. One
// process builds a given companion at a time ("{companion}.lock", there only during a build);
// another that needs it meanwhile waits and then uses it. A companion the engine finds damaged, or
// with a journal beside it, is removed and built again (ImportOptions::note says so).
#pragma once

#include <filesystem>
#include <optional>

#include "access/import.h"

namespace kolt::access {

// The table in a companion that records its source.
inline constexpr const char* kCompanionOriginTable = "kolt_origen";

// The engine database to open for `sourceFile`: the file itself when it already is an engine
// database (the program then adds its tables to it directly), else its companion, imported or
// rebuilt when needed. `resultsDir` is where a companion goes when the source's folder is not
// writable; it is created when needed. Throws base::Error as importAccess does.
std::filesystem::path openSourceCompanion(const std::filesystem::path& sourceFile,
                                          const std::filesystem::path& resultsDir,
                                          const ImportOptions& options = {});

// The same, for a reading that may leave a copy of the file nowhere but beside it: the companion
// beside the file, reused or built there; none when there is none and the file's folder cannot be
// written (the caller then reads the file into memory, importAccessToMemory).
std::optional<std::filesystem::path> companionBesideOnly(const std::filesystem::path& sourceFile,
                                                         const ImportOptions& options = {});

// Where the companion of `sourceFile` lives when built beside it, and in `resultsDir`.
std::filesystem::path companionBeside(const std::filesystem::path& sourceFile);
std::filesystem::path companionInResults(const std::filesystem::path& sourceFile,
                                         const std::filesystem::path& resultsDir);

// Removes a companion with the files the engine keeps beside it, so that the next
// openSourceCompanion builds it again.
void discardCompanion(const std::filesystem::path& companion);

}  // namespace kolt::access
