// A lock on a file that one process at a time can hold. The lock is the operating system's, so it
// goes with the process that held it: a process that was killed leaves no lock behind.
#pragma once

#include <filesystem>
#include <functional>
#include <system_error>

namespace kolt::platform {

class ExclusiveLock {
 public:
  enum class State {
    Held,        // this process holds it
    InUse,       // another process holds it
    CannotOpen,  // the lock file could not be opened or made; error() says why
    IsLink,      // the lock file's name is a symbolic link, which is never followed
    CannotLock,  // the system refused the lock for another reason; error() says why
  };

  ExclusiveLock() = default;
  ~ExclusiveLock();  // releases it
  ExclusiveLock(ExclusiveLock&& other) noexcept;
  ExclusiveLock& operator=(ExclusiveLock&& other) noexcept;
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  State state() const { return state_; }
  const std::error_code& error() const { return error_; }

 private:
  friend ExclusiveLock tryLock(const std::filesystem::path& file);
  friend ExclusiveLock waitForLock(const std::filesystem::path& file,
                                   const std::function<void()>& waiting);
  void release();

  State state_ = State::CannotOpen;
  std::error_code error_;
  int handle_ = -1;
  std::filesystem::path removeOnRelease_;
};

// Takes the lock on `file` (made when missing) without waiting for it. A `file` that is a symbolic
// link is never followed (State::IsLink).
ExclusiveLock tryLock(const std::filesystem::path& file);

// Takes the lock on `file`, waiting for as long as another process holds it; `waiting` is called
// once, before the wait, when one does. The file exists only while it is held: releasing the lock
// removes it, and a waiter that finds the name gone or given to a new file takes the lock again
// under the name, so two holders never meet. A symbolic link is never followed (State::IsLink).
ExclusiveLock waitForLock(const std::filesystem::path& file, const std::function<void()>& waiting);

}  // namespace kolt::platform
