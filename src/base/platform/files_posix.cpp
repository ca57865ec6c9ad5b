#include "base/platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>
#include <vector>

namespace kolt::platform {
namespace {

std::error_code lastError() {
  return {errno, std::system_category()};
}

std::error_code removeEntry(int parent, const char* name);

// Everything inside the folder open as `folder`, which this closes. Each entry is reached from
// its folder's descriptor, never by a path that a link could redirect.
std::error_code emptyFolder(int folder) {
  DIR* listing = ::fdopendir(folder);
  if (listing == nullptr) {
    const std::error_code error = lastError();
    ::close(folder);
    return error;
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  std::error_code first;
  for (const std::string& name : names) {
    const std::error_code error = removeEntry(::dirfd(listing), name.c_str());
    if (!first) first = error;
  }
  ::closedir(listing);
  return first;
}

std::error_code removeEntry(int parent, const char* name) {
  // Anything but a folder, links to folders included, goes with its name.
  if (::unlinkat(parent, name, 0) == 0 || errno == ENOENT) return {};
  if (errno != EISDIR && errno != EPERM) return lastError();
  const int folder = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return lastError();
  const std::error_code inside = emptyFolder(folder);
  if (::unlinkat(parent, name, AT_REMOVEDIR) == 0) return {};
  return inside ? inside : lastError();
}

}  // namespace

File::~File() {
  if (handle_ >= 0) ::close(handle_);
}

File::File(File&& other) noexcept : handle_(other.handle_) {
  other.handle_ = -1;
}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    if (handle_ >= 0) ::close(handle_);
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

File File::createNew(const std::filesystem::path& path, std::error_code& error) {
  // Mode 0666 lets the umask decide, as for any file the user creates.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  error = fd < 0 ? lastError() : std::error_code();
  return File(fd);
}

File File::createForWriting(const std::filesystem::path& path, std::error_code& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  error = fd < 0 ? lastError() : std::error_code();
  return File(fd);
}

std::error_code File::write(const void* bytes, std::size_t size) {
  const auto* data = static_cast<const char*>(bytes);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(handle_, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return lastError();
    done += static_cast<std::size_t>(n);
  }
  return {};
}

std::size_t File::writeSomeAt(std::uint64_t offset, const void* bytes, std::size_t size,
                              std::error_code& error) const {
  for (;;) {
    const ssize_t n = ::pwrite(handle_, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    error = n < 0 ? lastError() : std::error_code();
    return n < 0 ? 0 : static_cast<std::size_t>(n);
  }
}

std::size_t File::readSomeAt(std::uint64_t offset, void* bytes, std::size_t size,
                             std::error_code& error) const {
  for (;;) {
    const ssize_t n = ::pread(handle_, bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    error = n < 0 ? lastError() : std::error_code();
    return n < 0 ? 0 : static_cast<std::size_t>(n);
  }
}

std::error_code File::sync() {
  return ::fsync(handle_) != 0 ? lastError() : std::error_code();
}

std::error_code File::close() {
  const int fd = handle_;
  handle_ = -1;
  return ::close(fd) != 0 ? lastError() : std::error_code();
}

std::FILE* File::openStream(const char* mode, std::error_code& error) const {
  const int fd = ::dup(handle_);
  std::FILE* stream = fd >= 0 ? ::fdopen(fd, mode) : nullptr;
  error = stream == nullptr ? lastError() : std::error_code();
  if (stream == nullptr && fd >= 0) ::close(fd);
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
    made = folder / (target.filename().string() + tail);
    file = File::createNew(made, error);
    if (file.isOpen() || error != std::errc::file_exists) break;
  }
  return file;
}

File openSpoolFile(const std::filesystem::path& target, std::error_code& error) {
  std::filesystem::path made;
  File file = createBeside(target, ".spool", made, error);
  if (file.isOpen()) ::unlink(made.c_str());
  return file;
}

std::error_code replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) != 0 ? lastError() : std::error_code();
}

std::error_code removeTree(const std::filesystem::path& path) {
  const std::filesystem::path parent = path.has_parent_path() ? path.parent_path() : ".";
  const int folder = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return lastError();
  const std::error_code error = removeEntry(folder, path.filename().c_str());
  ::close(folder);
  return error;
}

bool noRoomLeft(const std::error_code& error) {
  const int e = error.value();
  return (error.category() == std::system_category() ||
          error.category() == std::generic_category()) &&
         (e == ENOSPC || e == EFBIG || e == EDQUOT);
}

std::error_code writePermission(const std::filesystem::path& path) {
  return ::access(path.c_str(), W_OK) != 0 ? lastError() : std::error_code();
}

bool canCreateFilesIn(const std::filesystem::path& folder) {
  const auto probe = (folder.empty() ? std::filesystem::path(".") : folder) /
                     (".kolt-prueba-" + std::to_string(::getpid()));
  const int fd = ::open(probe.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::close(fd);
  ::unlink(probe.c_str());
  return true;
}

bool isExecutable(const std::filesystem::path& program) {
  return ::access(program.c_str(), X_OK) == 0;
}

bool engineDatabaseBeingWritten(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  // SQLite's pending and reserved bytes: a writer holds one of them from its first change to its
  // commit, while its journal exists.
  constexpr off_t kPendingByte = 0x40000000;
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kPendingByte;
  probe.l_len = 2;
  const bool held = ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
  ::close(fd);
  return held;
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& file) {
  struct stat info {};
  if (::stat(file.c_str(), &info) != 0) return std::nullopt;
  auto ns = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  };
  return FileStamp{static_cast<std::int64_t>(info.st_size), ns(info.st_mtim), ns(info.st_ctim),
                   static_cast<std::uint64_t>(info.st_dev),
                   static_cast<std::uint64_t>(info.st_ino)};
}

}  // namespace kolt::platform
