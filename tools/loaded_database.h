// Writes a new database through the bulk loader under a temporary name and renames it into place,
// so a failed build never leaves a half-made file where the program would read it. An output
// named *.mdb becomes an Access file: the engine database is built beside it first, then written
// out as Access and removed.
#pragma once

#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>

#include "access/bulk_loader.h"
#include "access_writer/engine_export.h"
#include "base/error.h"
#include "base/platform/paths.h"
#include "base/replace_file.h"

namespace kolt::tools {

// Returns 0, or 1 after printing the error (prefixed with `tool` when it is not the engine's).
inline int writeDatabase(const std::filesystem::path& output, const char* tool,
                         const std::function<void(access::BulkLoader&)>& fill) {
  namespace fs = std::filesystem;
  std::string extension = kolt::platform::utf8(output.extension());
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const bool access = extension == ".mdb";
  const fs::path engine =
      access ? kolt::platform::pathFromUtf8(kolt::platform::utf8(output) + ".origen.tmp") : output;
  const fs::path temporary = kolt::platform::pathFromUtf8(kolt::platform::utf8(engine) + ".tmp");
  std::error_code ignored;
  if (output.has_parent_path()) fs::create_directories(output.parent_path(), ignored);
  fs::remove(temporary, ignored);
  try {
    const std::error_code renamed = base::replaceFile(temporary, engine, [&] {
      access::BulkLoader loader(temporary);
      fill(loader);
      loader.finish();
    });
    if (renamed) throw fs::filesystem_error("cannot rename", temporary, engine, renamed);
    if (access) {
      access_writer::exportToAccess(engine, output);
      fs::remove(engine, ignored);
    }
    return 0;
  } catch (const base::Error& e) {
    fs::remove(temporary, ignored);
    if (access) fs::remove(engine, ignored);
    std::fprintf(stderr, "%ld - %s\n", e.number(), e.description().c_str());
  } catch (const std::exception& e) {
    fs::remove(temporary, ignored);
    if (access) fs::remove(engine, ignored);
    std::fprintf(stderr, "%s: %s\n", tool, e.what());
  }
  return 1;
}

}  // namespace kolt::tools
