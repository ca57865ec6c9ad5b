// A user's interruption (Ctrl-C, or the system asking the program to end) turned into a request a
// run can honour: the run then stops between its steps, releases its results folder and says what
// it finished, instead of dying halfway with its folder reserved until the process is gone.
#pragma once

#include <atomic>

namespace kolt::platform {

// While the object lives, Ctrl-C and a request to end the program (SIGINT and SIGTERM on POSIX; the
// console's Ctrl-C, Ctrl-Break and close events on Windows) set `requested` instead of ending the
// process. Only the first request is caught: a second one ends the process as usual, so a user is
// never left without a way out. One hook at a time in a process.
class InterruptHook {
 public:
  explicit InterruptHook(std::atomic<bool>& requested);
  ~InterruptHook();
  InterruptHook(const InterruptHook&) = delete;
  InterruptHook& operator=(const InterruptHook&) = delete;

  // The exit status of a program ended by such a request: 128 + SIGINT, as shells report it.
  static constexpr int kExitStatus = 130;
};

}  // namespace kolt::platform
