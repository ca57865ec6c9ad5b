#include "base/platform/interrupt.h"

#include <windows.h>

namespace kolt::platform {
namespace {

// The console calls the handler on a thread of its own; it reaches nothing but the flag of the hook
// in force.
std::atomic<std::atomic<bool>*> caught{nullptr};

BOOL WINAPI onConsoleEvent(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT: {
      // Only the first request is caught: the next one finds no flag and ends the process.
      std::atomic<bool>* requested = caught.exchange(nullptr);
      if (requested == nullptr) return FALSE;
      requested->store(true);
      // After a close event the system ends the process when the handler returns; the run has
      // until then (a few seconds) to release its folder.
      if (event == CTRL_CLOSE_EVENT) Sleep(5000);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

}  // namespace

InterruptHook::InterruptHook(std::atomic<bool>& requested) {
  caught.store(&requested);
  SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

InterruptHook::~InterruptHook() {
  SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  caught.store(nullptr);
}

}  // namespace kolt::platform
