// What a lock is on every system: it goes with its holder, and moving it moves the holding.
#include "base/platform/file_lock.h"

#include <utility>

namespace kolt::platform {

ExclusiveLock::~ExclusiveLock() {
  release();
}

ExclusiveLock::ExclusiveLock(ExclusiveLock&& other) noexcept
    : state_(other.state_),
      error_(other.error_),
      handle_(other.handle_),
      removeOnRelease_(std::move(other.removeOnRelease_)) {
  other.handle_ = -1;
  other.removeOnRelease_.clear();
}

ExclusiveLock& ExclusiveLock::operator=(ExclusiveLock&& other) noexcept {
  if (this != &other) {
    release();
    state_ = other.state_;
    error_ = other.error_;
    handle_ = other.handle_;
    removeOnRelease_ = std::move(other.removeOnRelease_);
    other.handle_ = -1;
    other.removeOnRelease_.clear();
  }
  return *this;
}

}  // namespace kolt::platform
