#include "base/platform/interrupt.h"

#include <signal.h>

namespace kolt::platform {
namespace {

// A signal handler reaches nothing but what it is given here: the flag of the hook in force.
std::atomic<std::atomic<bool>*> caught{nullptr};
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free);

extern "C" void onInterrupt(int) {
  if (std::atomic<bool>* requested = caught.load()) requested->store(true);
}

void install(int signal) {
  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigemptyset(&action.sa_mask);
  // The first request is caught; the handler then goes back to the default, so a second one ends
  // the process.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  sigaction(signal, &action, nullptr);
}

void restore(int signal) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

}  // namespace

InterruptHook::InterruptHook(std::atomic<bool>& requested) {
  caught.store(&requested);
  install(SIGINT);
  install(SIGTERM);
}

InterruptHook::~InterruptHook() {
  restore(SIGINT);
  restore(SIGTERM);
  caught.store(nullptr);
}

}  // namespace kolt::platform
