#include "base/platform/process.h"

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace kolt::platform {

std::int64_t processId() {
  return ::getpid();
}

bool processAlive(std::int64_t pid) {
  return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH);
}

void failWritesPastFileSizeLimit() {
  ::signal(SIGXFSZ, SIG_IGN);
}

// A signal's default action ends the process, and the system keeps the limits the parent set.
void startAsChild() {}

bool isTerminal(StandardStream stream) {
  return ::isatty(stream == StandardStream::Error ? STDERR_FILENO : STDOUT_FILENO) != 0;
}

bool writeToChannel(int channel, std::string_view line) {
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t n = ::write(channel, data, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// The system enforces the limit itself: no watchdog is needed here.
struct CpuBudget::Watchdog {};

CpuBudget::CpuBudget(unsigned seconds) {
  rlimit saved{};
  if (::getrlimit(RLIMIT_CPU, &saved) != 0) return;
  savedSoft_ = saved.rlim_cur;
  savedHard_ = saved.rlim_max;
  rusage used{};
  ::getrusage(RUSAGE_SELF, &used);
  rlimit lowered = saved;
  // The seconds used so far, rounded up, and `seconds` more.
  const auto usedMicros = (used.ru_utime.tv_sec + used.ru_stime.tv_sec) * 1'000'000 +
                          used.ru_utime.tv_usec + used.ru_stime.tv_usec;
  const rlim_t until = static_cast<rlim_t>((usedMicros + 999'999) / 1'000'000) + seconds;
  if (lowered.rlim_cur == RLIM_INFINITY || lowered.rlim_cur > until) lowered.rlim_cur = until;
  active_ = ::setrlimit(RLIMIT_CPU, &lowered) == 0;
}

CpuBudget::~CpuBudget() {
  if (!active_) return;
  const rlimit saved{static_cast<rlim_t>(savedSoft_), static_cast<rlim_t>(savedHard_)};
  ::setrlimit(RLIMIT_CPU, &saved);
}

}  // namespace kolt::platform
