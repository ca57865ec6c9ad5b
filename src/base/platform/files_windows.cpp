#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "base/platform/files.h"
#include "base/platform/paths.h"
#include "base/platform/windows_support.h"

namespace kolt::platform {
namespace {

using windows::lastError;

// Every file is opened shared for deleting too, so that a file may be renamed over or removed
// while another part of the program still reads it, as on POSIX.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

int openHandle(const std::filesystem::path& path, DWORD access, DWORD disposition, DWORD flags,
               std::error_code& error) {
  const HANDLE handle =
      ::CreateFileW(path.c_str(), access, kShareAll, nullptr, disposition, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    error = lastError();
    return -1;
  }
  const int fd = windows::descriptorFor(handle);
  error = fd < 0 ? std::make_error_code(std::errc::too_many_files_open) : std::error_code();
  return fd;
}

OVERLAPPED at(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

std::uint64_t ticksOf(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

}  // namespace

File::~File() {
  if (handle_ >= 0) ::_close(handle_);
}

File::File(File&& other) noexcept : handle_(other.handle_) {
  other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::_close(handle_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File File::createNew(const std::filesystem::path& path, std::error_code& error) {
  return File(
      openHandle(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, error));
}

File File::createForWriting(const std::filesystem::path& path, std::error_code& error) {
  return File(openHandle(path, GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, error));
}

std::error_code File::write(const void* bytes, std::size_t size) {
  const HANDLE handle = windows::handleOf(handle_);
  const auto* data = static_cast<const char*>(bytes);
  while (size > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
    if (!::WriteFile(handle, data, chunk, &written, nullptr)) return lastError();
    if (written == 0) return std::make_error_code(std::errc::no_space_on_device);
    data += written;
    size -= written;
  }
  return {};
}

std::size_t File::writeSomeAt(std::uint64_t offset, const void* bytes, std::size_t size,
                              std::error_code& error) const {
  OVERLAPPED position = at(offset);
  DWORD written = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
  if (!::WriteFile(windows::handleOf(handle_), bytes, chunk, &written, &position)) {
    error = lastError();
    return 0;
  }
  error = {};
  return written;
}

std::size_t File::readSomeAt(std::uint64_t offset, void* bytes, std::size_t size,
                             std::error_code& error) const {
  OVERLAPPED position = at(offset);
  DWORD read = 0;
  const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1 << 30));
  if (!::ReadFile(windows::handleOf(handle_), bytes, chunk, &read, &position)) {
    const DWORD code = ::GetLastError();
    error = code == ERROR_HANDLE_EOF ? std::error_code() : windows::errorFrom(code);
    return 0;
  }
  error = {};
  return read;
}

std::error_code File::sync() {
  return ::FlushFileBuffers(windows::handleOf(handle_)) ? std::error_code() : lastError();
}

std::error_code File::close() {
  const int fd = handle_;
  handle_ = -1;
  return ::_close(fd) != 0 ? std::make_error_code(std::errc::io_error) : std::error_code();
}

std::FILE* File::openStream(const char* mode, std::error_code& error) const {
  // Always binary: in text mode the C runtime would write every newline as two bytes.
  std::string binary(mode);
  if (binary.find('b') == std::string::npos) binary += 'b';
  const int fd = ::_dup(handle_);
  std::FILE* stream = fd >= 0 ? ::_fdopen(fd, binary.c_str()) : nullptr;
  error =
      stream == nullptr ? std::make_error_code(std::errc::too_many_files_open) : std::error_code();
  if (stream == nullptr && fd >= 0) ::_close(fd);
  return stream;
}

File createBeside(const std::filesystem::path& target, const char* suffix,
                  std::filesystem::path& made, std::error_code& error) {
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::random_device random;
  File file;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[48];
    std::snprintf(tail, sizeof tail, ".%08x%s", static_cast<unsigned>(random()), suffix);
    made = folder / pathFromUtf8(utf8(target.filename()) + tail);
    file = File::createNew(made, error);
    if (file.isOpen() || error != std::errc::file_exists) break;
  }
  return file;
}

File openSpoolFile(const std::filesystem::path& target, std::error_code& error) {
  // Windows cannot remove an open file's name, but removes the file when its last handle closes,
  // however the process ends.
  const std::filesystem::path folder =
      target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
  std::random_device random;
  File file;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[48];
    std::snprintf(tail, sizeof tail, ".%08x.spool", static_cast<unsigned>(random()));
    const auto made = folder / pathFromUtf8(utf8(target.filename()) + tail);
    file = File(openHandle(made, GENERIC_READ | GENERIC_WRITE | DELETE, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, error));
    if (file.isOpen() || error != std::errc::file_exists) break;
  }
  return file;
}

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  // A plain rename fails on Windows when `to` exists.
  return ::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
             ? std::error_code()
             : lastError();
}

std::error_code removeTree(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const std::error_code error = lastError();
    return error == std::errc::no_such_file_or_directory ? std::error_code() : error;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return ::DeleteFileW(path.c_str()) ? std::error_code() : lastError();
  // A junction or a link to a folder is removed as an empty folder: its target stays.
  std::error_code first;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
    std::error_code listing;
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(path, listing))
      entries.push_back(entry.path());
    first = listing;
    for (const auto& entry : entries) {
      const std::error_code error = removeTree(entry);
      if (!first) first = error;
    }
  }
  if (::RemoveDirectoryW(path.c_str())) return {};
  return first ? first : lastError();
}

bool noRoomLeft(const std::error_code& error) {
  return error == std::errc::no_space_on_device || error == std::errc::file_too_large;
}

std::error_code writePermission(const std::filesystem::path& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastError();
  // The read-only attribute of a folder does not stop files being made in it: only a file's counts.
  if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return std::make_error_code(std::errc::permission_denied);
  return {};
}

bool canCreateFilesIn(const std::filesystem::path& folder) {
  const auto probe = (folder.empty() ? std::filesystem::path(".") : folder) /
                     pathFromUtf8(".kolt-prueba-" + std::to_string(::GetCurrentProcessId()));
  const HANDLE handle = ::CreateFileW(probe.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr,
                                      CREATE_NEW, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(handle);
  return true;
}

bool isExecutable(const std::filesystem::path& program) {
  const DWORD attributes = ::GetFileAttributesW(program.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& file) {
  // Opened for no access at all: the attributes and identity of a file another program holds open
  // can still be read.
  const HANDLE handle =
      ::CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
  const bool read = ::GetFileInformationByHandle(handle, &info) &&
                    ::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic);
  ::CloseHandle(handle);
  if (!read) return std::nullopt;
  // 100-nanosecond ticks since 1601, as nanoseconds since 1970 like POSIX times.
  constexpr std::int64_t kTicksTo1970 = 116'444'736'000'000'000LL;
  auto ns = [](std::int64_t ticks) { return (ticks - kTicksTo1970) * 100; };
  FileStamp stamp;
  stamp.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) |
                                         info.nFileSizeLow);
  stamp.modifiedNs = ns(static_cast<std::int64_t>(ticksOf(info.ftLastWriteTime)));
  stamp.changedNs = ns(basic.ChangeTime.QuadPart);
  stamp.device = info.dwVolumeSerialNumber;
  stamp.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return stamp;
}

bool engineDatabaseBeingWritten(const std::filesystem::path& file) {
  // The engine's reserved lock is one byte past its pending byte at 1 GiB: whoever writes holds it.
  constexpr DWORD kReservedByte = 0x40000001;
  const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  OVERLAPPED at{};
  at.Offset = kReservedByte;
  const bool free =
      ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at) != 0;
  if (free) ::UnlockFileEx(handle, 0, 1, 0, &at);
  ::CloseHandle(handle);
  return !free;
}

}  // namespace kolt::platform
