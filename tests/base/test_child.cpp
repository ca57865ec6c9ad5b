// A child process for the platform tests that behaves as it is told, the same on every system:
//
//   kolt-test-child STEP...
//
//   report TEXT    a line on the report channel      stderr TEXT   a line on standard error
//   crash          a fault (a write through null)
//   spin           uses processor time without end   sleep S       waits S seconds
//   allocate MB    takes and touches MB megabytes    lock FILE     takes the lock on FILE
//   budget S       from here on at most S more seconds of processor time (CpuBudget)
//   hook           Ctrl-C and a request to end set a flag (InterruptHook)  unhook  the hook goes
//   raise SIGNAL   sends itself SIGNAL                flag   ends with 7 if the flag is set, else 1
//
// Started as the importer is (--progress-fd N SOURCE TARGET STEP...), it passes over the
// importer's own arguments and takes the tables it is asked for as its steps: the importer's
// parent can then be shown a child that misbehaves on every system, Windows included.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/platform/child_process.h"
#include "base/platform/file_lock.h"
#include "base/platform/interrupt.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"

int main(int argc, char** argv) {
  using namespace kolt::platform;
  startAsChild();
  std::vector<std::string> steps = commandLineArguments(argc, argv);
  if (!steps.empty() && steps.front() == "--progress-fd")
    steps.erase(steps.begin(),
                steps.begin() + static_cast<long>(std::min<std::size_t>(4, steps.size())));
  std::vector<ExclusiveLock> locks;
  std::optional<CpuBudget> budget;
  std::atomic<bool> requested{false};
  std::optional<InterruptHook> hook;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const std::string& step = steps[i];
    // The word after the step, for the steps that take one.
    auto argument = [&] { return i + 1 < steps.size() ? steps[++i] : std::string(); };
    if (step == "report") {
      if (!writeToChannel(kReportChannel, argument() + "\n")) return 120;
    } else if (step == "stderr") {
      std::fprintf(stderr, "%s\n", argument().c_str());
      std::fflush(stderr);
    } else if (step == "crash") {
      // A real fault, past any handler a sanitizer installed, at an address no sanitizer checks.
      std::signal(SIGSEGV, SIG_DFL);
      volatile std::uintptr_t where = 16;
      *reinterpret_cast<volatile int*>(where) = 1;
    } else if (step == "spin") {
      volatile unsigned long turns = 0;
      for (;;) turns = turns + 1;
    } else if (step == "sleep") {
      std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argument().c_str())));
    } else if (step == "allocate") {
      const std::size_t bytes = static_cast<std::size_t>(std::atoi(argument().c_str())) << 20;
      const std::vector<char> memory(bytes, 'a');  // past the limit: bad_alloc, the child aborts
      std::printf("%c", memory[bytes / 2]);
    } else if (step == "budget") {
      budget.emplace(std::atoi(argument().c_str()));
    } else if (step == "lock") {
      locks.push_back(tryLock(pathFromUtf8(argument())));
      if (locks.back().state() != ExclusiveLock::State::Held) return 122;
    } else if (step == "hook") {
      hook.emplace(requested);
    } else if (step == "unhook") {
      hook.reset();
    } else if (step == "raise") {
      std::raise(std::atoi(argument().c_str()));
    } else if (step == "flag") {
      return requested ? 7 : 1;
    } else {
      std::fprintf(stderr, "paso desconocido: %s\n", step.c_str());
      return 64;
    }
  }
  return 0;
}
