// What the first page of a file says about it, read without libmdb.
//
// The parent process reads this before it starts an import, so that the common mistakes (a missing
// file, an empty one, a text file renamed .mdb, a password-protected database) get a precise
// message at once instead of a crash report from the child. It is also the "header" part of the
// fingerprint by which a companion database is known to still match its Access file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kolt::access {

// Jet's own number for a database opened without its password.

struct AccessHeader {
  int version = 0;  // byte 0x14: 0 Jet3, 1 Jet4, 2 ACE12, 3 ACE14, 4 ACE15, 5 ACE16, 6 ACE17
  int pageSize = 0;
  int codePage = 0;
  bool passwordProtected = false;
  std::uintmax_t fileSize = 0;
  std::vector<unsigned char> firstPage;  // the raw bytes, as the fingerprint compares them

  // "JET3", "JET4", "ACE12", "ACE14", "ACE15", "ACE16", "ACE17"
  std::string formatName() const;
};

// Reads and checks the header of an Access file. Throws base::Error: base::kErrFile when the file
// is missing or cannot be read, base::kErrNotAccessFile when it is not an Access database or is
// visibly cut short, base::kErrAccessPassword when it is protected by a database password.
AccessHeader readAccessHeader(const std::filesystem::path& file);

// True when the file begins as an SQLite database does: an engine-native file, used as it is.
bool isEngineDatabase(const std::filesystem::path& file);

// The user-facing descriptions shared by the header check, the importer and its child process.
std::string notAccessFileMessage(const std::filesystem::path& file);
std::string missingFileMessage(const std::filesystem::path& file);

}  // namespace kolt::access
