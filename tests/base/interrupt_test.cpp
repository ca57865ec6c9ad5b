// Ctrl-C and a request to end the program become a flag the run reads, once.
#include "base/platform/interrupt.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <utility>
#include <vector>
#endif

namespace kolt::platform {
namespace {

#ifndef _WIN32
// Each case in a child of its own, so that the default action of a signal ends only the child: its
// status is 7 when the flag was set, else 128 + the signal that ended it. A 0 destroys the hook.
TEST(InterruptHook, TheFirstRequestSetsTheFlagAndTheSecondEndsTheProgram) {
  const std::pair<std::vector<int>, int> cases[] = {
      {{SIGINT}, 7},                     // the first request only sets the flag
      {{SIGTERM}, 7},                    // the same for a request to end the program
      {{SIGINT, SIGINT}, 128 + SIGINT},  // the second ends the program
      {{0, SIGINT}, 128 + SIGINT},       // once the hook is gone, the first does
  };
  for (const auto& [signals, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(signals));
    const pid_t pid = fork();
    if (pid == 0) {
      std::atomic<bool> requested{false};
      std::optional<InterruptHook> hook(std::in_place, requested);
      for (const int signal : signals) signal != 0 ? void(raise(signal)) : hook.reset();
      _exit(requested ? 7 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), expected);
  }
}
#endif

}  // namespace
}  // namespace kolt::platform
