// Ctrl-C and a request to end the program become a flag the run reads, once.
#include "base/platform/interrupt.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kolt::platform {
namespace {

#ifndef _WIN32
// In a child of its own, so that the default action of the second signal ends only the child.
// Returns the child's exit status, or 128 + the signal that ended it.
int inChild(void (*body)()) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(InterruptHook, TheFirstRequestSetsTheFlagAndTheSecondEndsTheProgram) {
  struct Case {
    const char* name;
    void (*body)();
    int status;
  };
  const Case cases[] = {
      {"SIGINT once",
       [] {
         std::atomic<bool> requested{false};
         InterruptHook hook(requested);
         raise(SIGINT);
         _exit(requested ? 7 : 1);
       },
       7},
      {"SIGTERM once",
       [] {
         std::atomic<bool> requested{false};
         InterruptHook hook(requested);
         raise(SIGTERM);
         _exit(requested ? 7 : 1);
       },
       7},
      {"SIGINT twice",
       [] {
         std::atomic<bool> requested{false};
         InterruptHook hook(requested);
         raise(SIGINT);
         raise(SIGINT);
         _exit(1);
       },
       128 + SIGINT},
      {"SIGINT after the hook is gone",
       [] {
         std::atomic<bool> requested{false};
         { InterruptHook hook(requested); }
         raise(SIGINT);
         _exit(1);
       },
       128 + SIGINT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(inChild(c.body), c.status);
  }
}
#endif

}  // namespace
}  // namespace kolt::platform
