#include <io.h>

#include <utility>

#include "base/platform/file_lock.h"
#include "base/platform/windows_support.h"

namespace kolt::platform {

void ExclusiveLock::release() {
  // Closing the file releases the lock; the system does the same for a process that ends. A lock
  // that lives only while held is removed after, and a waiter that opened it meanwhile keeps
  // waiting until the name is free again (waitForLock).
  if (handle_ >= 0) ::_close(handle_);
  if (handle_ >= 0 && !removeOnRelease_.empty()) ::DeleteFileW(removeOnRelease_.c_str());
  handle_ = -1;
  removeOnRelease_.clear();
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

ExclusiveLock waitForLock(const std::filesystem::path& file, const std::function<void()>& waiting) {
  bool told = false;
  for (;;) {
    ExclusiveLock lock = tryLock(file);
    // A file being removed by its last holder refuses to be opened until it is gone.
    const bool beingRemoved = lock.state() == ExclusiveLock::State::CannotOpen &&
                              lock.error() == std::errc::permission_denied;
    if (lock.state() == ExclusiveLock::State::Held) {
      lock.removeOnRelease_ = file;
      return lock;
    }
    if (lock.state() != ExclusiveLock::State::InUse && !beingRemoved) return lock;
    if (!told && waiting) waiting();
    told = true;
    ::Sleep(100);
  }
}

}  // namespace kolt::platform
