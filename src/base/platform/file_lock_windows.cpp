#include <io.h>

#include "base/platform/file_lock.h"
#include "base/platform/windows_support.h"

namespace kolt::platform {

ExclusiveLock::~ExclusiveLock() {
  release();
}

ExclusiveLock::ExclusiveLock(ExclusiveLock&& other) noexcept
    : state_(other.state_), error_(other.error_), handle_(other.handle_) {
  other.handle_ = -1;
}

ExclusiveLock& ExclusiveLock::operator=(ExclusiveLock&& other) noexcept {
  if (this != &other) {
    release();
    state_ = other.state_;
    error_ = other.error_;
    handle_ = other.handle_;
    other.handle_ = -1;
  }
  return *this;
}

void ExclusiveLock::release() {
  // Closing the file releases the lock; the system does the same for a process that ends.
  if (handle_ >= 0) ::_close(handle_);
  handle_ = -1;
}

ExclusiveLock tryLock(const std::filesystem::path& file) {
  ExclusiveLock lock;
  // Shared for reading, writing and deleting: only the locked range keeps a second run out, and
  // the folder can still be emptied or removed by the user between runs.
  const HANDLE handle = ::CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    lock.state_ = ExclusiveLock::State::CannotOpen;
    lock.error_ = windows::lastError();
    return lock;
  }
  // One byte far past the end: a lock on Windows forbids reading the range it covers, and the
  // file's contents stay readable this way.
  OVERLAPPED at{};
  at.OffsetHigh = 0x7fffffff;
  if (!::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    lock.state_ = error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING
                      ? ExclusiveLock::State::InUse
                      : ExclusiveLock::State::CannotLock;
    lock.error_ = windows::errorFrom(error);
    return lock;
  }
  const int fd = windows::descriptorFor(handle);
  if (fd < 0) {
    lock.state_ = ExclusiveLock::State::CannotLock;
    lock.error_ = std::make_error_code(std::errc::too_many_files_open);
    return lock;
  }
  lock.state_ = ExclusiveLock::State::Held;
  lock.handle_ = fd;
  return lock;
}

}  // namespace kolt::platform
