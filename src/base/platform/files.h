// Files as the operating system keeps them: the few operations the standard library does not
// offer, or offers without the guarantees the program relies on. Errors come back as
// std::error_code so that each caller keeps its own message and error number.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

namespace kolt::platform {

// An open file, closed when this goes.
class File {
 public:
  File() = default;
  ~File();
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;

  // A new file at `path` for reading and writing; never one that exists (std::errc::file_exists
  // then), so a name someone else made is never taken over. Its permissions are what the user's
  // umask gives any new file.
  static File createNew(const std::filesystem::path& path, std::error_code& error);
  // `path` emptied, or made, for writing: the owner may write it, everyone may read it.
  static File createForWriting(const std::filesystem::path& path, std::error_code& error);

  bool isOpen() const { return handle_ >= 0; }

  // All of `bytes`, at the current position.
  std::error_code write(const void* bytes, std::size_t size);
  // As much of `bytes` as the system takes in one go at `offset`; 0 only when it takes nothing.
  std::size_t writeSomeAt(std::uint64_t offset, const void* bytes, std::size_t size,
                          std::error_code& error) const;
  // Up to `size` bytes from `offset`; 0 at the end of the file.
  std::size_t readSomeAt(std::uint64_t offset, void* bytes, std::size_t size,
                         std::error_code& error) const;
  // Everything written so far on the disk itself, not only in the system's cache.
  std::error_code sync();
  std::error_code close();
  // A stdio stream of its own on the same file (closing it leaves this one open), for libraries
  // that write through one; nullptr with `error` set when it cannot be made.
  std::FILE* openStream(const char* mode, std::error_code& error) const;

 private:
  // The spool file is opened with flags of its own on some systems.
  friend File openSpoolFile(const std::filesystem::path& target, std::error_code& error);
  explicit File(int handle) : handle_(handle) {}
  int handle_ = -1;
};

// A new file beside `target`, named "{target}.{8 hex digits}{suffix}" with digits nobody else is
// using; `made` receives its name.
File createBeside(const std::filesystem::path& target, const char* suffix,
                  std::filesystem::path& made, std::error_code& error);

// Scratch space beside `target` under no name at all: the system removes it when it is closed,
// however the program ends, so a killed run leaves nothing to clean up.
File openSpoolFile(const std::filesystem::path& target, std::error_code& error);

// `from` under the name `to` in one step: whoever opens `to` finds the old file or the new one,
// whole, never a mixture and never nothing.
std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes `path`, and everything inside it when it is a folder. A link, wherever it lies, is
// removed itself, and what it points to is never touched, even when a folder is swapped for a link
// during the removal. Returns the first error; what could be removed is removed all the same.
std::error_code removeTree(const std::filesystem::path& path);

// Whether `error` means the disk (or a quota, or a file-size limit) had no room for the data.
bool noRoomLeft(const std::error_code& error);

// Whether this process may write in `path`, as its permissions say; the error tells why not
// (std::errc::no_such_file_or_directory for a path that does not exist).
std::error_code writePermission(const std::filesystem::path& path);
// Whether a file can really be made in `folder`: tried rather than asked, since permissions alone
// miss read-only mounts and immutable folders.
bool canCreateFilesIn(const std::filesystem::path& folder);
// Whether `program` may be run by this process.
bool isExecutable(const std::filesystem::path& program);

// Whether another process is writing the engine database `file` now: it holds the engine's write
// lock, so a journal beside it is that write's, not one a killed write left behind. The engine
// (SQLite) takes its locks as the system's byte-range locks at fixed places of the file.
bool engineDatabaseBeingWritten(const std::filesystem::path& file);

// Size and last changes of a file, to the nanosecond, as the system records them, and which file
// of its disk it is. A file replaced by a copy that keeps size and modification time (cp -p, rsync,
// an unzip) is another file with another change time; its contents' time can be set back, its
// change time cannot.
struct FileStamp {
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;  // the last change of contents or of what the system records of it
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};
std::optional<FileStamp> fileStamp(const std::filesystem::path& file);

}  // namespace kolt::platform
