#include "base/platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <thread>

namespace kolt::platform {
namespace {

constexpr std::size_t kDiagnosticsKept = 8192;

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

void makePipe(Fd& readEnd, Fd& writeEnd) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::system_error(errno, std::generic_category(), "pipe");
  readEnd.reset(fds[0]);
  writeEnd.reset(fds[1]);
}

// Between fork and exec only async-signal-safe calls are allowed: everything is prepared before.
[[noreturn]] void becomeChild(const char* program, char* const* argv, int reportFd, int errorFd,
                              const ChildLimits& limits) {
  // Its own process group, so that a kill reaches whatever it started too.
  ::setpgid(0, 0);
  const int devNull = ::open("/dev/null", O_RDWR);
  if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(devNull, 1) < 0) _exit(126);
  if (::dup2(errorFd, 2) < 0 || ::dup2(reportFd, kReportChannel) < 0) _exit(126);
  struct rlimit noCore = {0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  if (limits.memoryBytes != 0 && kMemoryLimitApplies) {
    struct rlimit memory = {limits.memoryBytes, limits.memoryBytes};
    ::setrlimit(RLIMIT_AS, &memory);
  }
  if (limits.cpuSeconds != 0) {
    struct rlimit cpu = {limits.cpuSeconds, limits.cpuSeconds + 1};
    ::setrlimit(RLIMIT_CPU, &cpu);
  }
  ::execv(program, argv);
  _exit(127);
}

}  // namespace

bool memoryLimitEnforced() {
  return kMemoryLimitApplies;
}

ChildOutcome runChild(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const ChildLimits& limits,
                      const std::function<void(std::string_view)>& onLine) {
  using Clock = std::chrono::steady_clock;
  std::vector<std::string> words;
  words.push_back(program.string());
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  Fd reportRead, reportWrite, errorRead, errorWrite;
  makePipe(reportRead, reportWrite);
  makePipe(errorRead, errorWrite);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::system_error(errno, std::generic_category(), "fork");
  if (pid == 0) becomeChild(argv[0], argv.data(), reportWrite.get(), errorWrite.get(), limits);
  reportWrite.reset();
  errorWrite.reset();

  ChildOutcome outcome;
  bool killed = false;
  auto kill = [&](ChildOutcome::End why) {
    if (killed) return;
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    killed = true;
    outcome.end = why;
  };

  const auto started = Clock::now();
  auto lastReport = started;
  std::string pending;
  try {
    pollfd fds[2] = {{reportRead.get(), POLLIN, 0}, {errorRead.get(), POLLIN, 0}};
    int open = 2;
    while (open > 0 && !killed) {
      auto wait = std::chrono::milliseconds(1000);
      const auto now = Clock::now();
      if (limits.timeout.count() > 0) {
        const auto left =
            limits.timeout - std::chrono::duration_cast<std::chrono::milliseconds>(now - started);
        if (left.count() <= 0) {
          kill(ChildOutcome::End::TimedOut);
          break;
        }
        wait = std::min(wait, left);
      }
      if (limits.stallTimeout.count() > 0) {
        const auto left = limits.stallTimeout -
                          std::chrono::duration_cast<std::chrono::milliseconds>(now - lastReport);
        if (left.count() <= 0) {
          kill(ChildOutcome::End::Stalled);
          break;
        }
        wait = std::min(wait, left);
      }
      const int ready = ::poll(fds, 2, static_cast<int>(wait.count()) + 1);
      if (ready < 0) {
        if (errno == EINTR) continue;
        throw std::system_error(errno, std::generic_category(), "poll");
      }
      for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || fds[i].revents == 0) continue;
        char buffer[65536];
        const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
          fds[i].fd = -1;
          --open;
          continue;
        }
        if (i == 1) {
          outcome.diagnostics.append(buffer, static_cast<std::size_t>(n));
          if (outcome.diagnostics.size() > 2 * kDiagnosticsKept)
            outcome.diagnostics.erase(0, outcome.diagnostics.size() - kDiagnosticsKept);
          continue;
        }
        lastReport = Clock::now();
        pending.append(buffer, static_cast<std::size_t>(n));
        std::size_t from = 0;
        for (std::size_t end; (end = pending.find('\n', from)) != std::string::npos; from = end + 1)
          onLine(std::string_view(pending).substr(from, end - from));
        pending.erase(0, from);
      }
    }
  } catch (...) {
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int ignored;
    while (::waitpid(pid, &ignored, 0) < 0 && errno == EINTR) {
    }
    throw;
  }

  // The channels are closed; the child is ending (or was killed). Still bounded by the timeout: a
  // child that closed its descriptors and then hung must not hang us.
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, killed ? 0 : WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR)
      throw std::system_error(errno, std::generic_category(), "waitpid");
    if (done == 0) {
      const auto elapsed = Clock::now() - started;
      if ((limits.timeout.count() > 0 && elapsed > limits.timeout) ||
          (limits.stallTimeout.count() > 0 && Clock::now() - lastReport > limits.stallTimeout))
        kill(ChildOutcome::End::TimedOut);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  if (outcome.diagnostics.size() > kDiagnosticsKept)
    outcome.diagnostics.erase(0, outcome.diagnostics.size() - kDiagnosticsKept);
  if (!killed) {
    if (WIFEXITED(status)) {
      outcome.end = ChildOutcome::End::Exited;
      outcome.status = WEXITSTATUS(status);
    } else {
      outcome.status = WIFSIGNALED(status) ? WTERMSIG(status) : -1;
      outcome.end =
          outcome.status == SIGXCPU ? ChildOutcome::End::CpuLimit : ChildOutcome::End::Signalled;
    }
  } else {
    outcome.status = SIGKILL;
  }
  return outcome;
}

}  // namespace kolt::platform
