#include "base/platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

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
  // Closing the descriptor releases the lock.
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
}

ExclusiveLock tryLock(const std::filesystem::path& file) {
  ExclusiveLock lock;
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    lock.state_ = ExclusiveLock::State::CannotOpen;
    lock.error_ = {errno, std::system_category()};
    return lock;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    ::close(fd);
    lock.state_ =
        error == EWOULDBLOCK ? ExclusiveLock::State::InUse : ExclusiveLock::State::CannotLock;
    lock.error_ = {error, std::system_category()};
    return lock;
  }
  lock.state_ = ExclusiveLock::State::Held;
  lock.handle_ = fd;
  return lock;
}

}  // namespace kolt::platform
