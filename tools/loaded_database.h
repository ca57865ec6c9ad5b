// Writes a new engine database through the bulk loader under a temporary name and renames it
// into place, so a failed build never leaves a half-made file where the program would read it.
#pragma once

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>

#include "db/access/bulk_loader.h"
#include "db/error.h"

namespace kolt::tools {

// Returns 0, or 1 after printing the error (prefixed with `tool` when it is not the engine's).
inline int writeDatabase(const std::filesystem::path& output, const char* tool,
                         const std::function<void(db::access::BulkLoader&)>& fill) {
  namespace fs = std::filesystem;
  const fs::path temporary = output.string() + ".tmp";
  std::error_code ignored;
  if (output.has_parent_path()) fs::create_directories(output.parent_path(), ignored);
  fs::remove(temporary, ignored);
  try {
    {
      db::access::BulkLoader loader(temporary);
      fill(loader);
      loader.finish();
    }
    fs::rename(temporary, output);
    return 0;
  } catch (const db::DbError& e) {
    fs::remove(temporary, ignored);
    std::fprintf(stderr, "%ld - %s\n", e.number(), e.description().c_str());
  } catch (const std::exception& e) {
    fs::remove(temporary, ignored);
    std::fprintf(stderr, "%s: %s\n", tool, e.what());
  }
  return 1;
}

}  // namespace kolt::tools
