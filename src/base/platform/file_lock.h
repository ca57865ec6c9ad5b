// A lock on a file that one process at a time can hold. The lock is the operating system's, so it
// goes with the process that held it: a process that was killed leaves no lock behind.
#pragma once

#include <filesystem>
#include <system_error>

namespace kolt::platform {

class ExclusiveLock {
 public:
  enum class State {
    Held,        // this process holds it
    InUse,       // another process holds it
    CannotOpen,  // the lock file could not be opened or made; error() says why
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
  void release();

  State state_ = State::CannotOpen;
  std::error_code error_;
  int handle_ = -1;
};

// Takes the lock on `file` (made when missing) without waiting for it.
ExclusiveLock tryLock(const std::filesystem::path& file);

}  // namespace kolt::platform
