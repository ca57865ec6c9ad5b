#include "base/platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kolt::platform {

void ExclusiveLock::release() {
  // Removed while still held, so that no process can lock the name in between; a waiter holding
  // the old file sees the name gone and starts again.
  if (handle_ >= 0 && !removeOnRelease_.empty()) ::unlink(removeOnRelease_.c_str());
  // Closing the descriptor releases the lock.
  if (handle_ >= 0) ::close(handle_);
  handle_ = -1;
  removeOnRelease_.clear();
}

ExclusiveLock tryLock(const std::filesystem::path& file) {
  ExclusiveLock lock;
  // Never through a link: a lock file that points elsewhere would make or hold another file.
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    lock.state_ = errno == ELOOP ? ExclusiveLock::State::IsLink : ExclusiveLock::State::CannotOpen;
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

ExclusiveLock waitForLock(const std::filesystem::path& file, const std::function<void()>& waiting) {
  bool told = false;
  for (;;) {
    ExclusiveLock lock;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
      lock.state_ =
          errno == ELOOP ? ExclusiveLock::State::IsLink : ExclusiveLock::State::CannotOpen;
      lock.error_ = {errno, std::system_category()};
      return lock;
    }
    int locked = ::flock(fd, LOCK_EX | LOCK_NB);
    if (locked != 0 && errno == EWOULDBLOCK) {
      if (!told && waiting) waiting();
      told = true;
      do locked = ::flock(fd, LOCK_EX);
      while (locked != 0 && errno == EINTR);
    }
    if (locked != 0) {
      lock.state_ = ExclusiveLock::State::CannotLock;
      lock.error_ = {errno, std::system_category()};
      ::close(fd);
      return lock;
    }
    struct stat held {
    }, named{};
    if (::fstat(fd, &held) == 0 && ::lstat(file.c_str(), &named) == 0 &&
        held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
      lock.state_ = ExclusiveLock::State::Held;
      lock.handle_ = fd;
      lock.removeOnRelease_ = file;
      return lock;
    }
    ::close(fd);  // the previous holder removed the file while this process waited on it
  }
}

}  // namespace kolt::platform
