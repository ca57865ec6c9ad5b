#include <io.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "base/platform/process.h"
#include "base/platform/windows_support.h"

using kolt::platform::windows::kCpuBudgetVariable;

namespace kolt::platform {

std::int64_t processId() {
  return static_cast<std::int64_t>(::GetCurrentProcessId());
}

bool processAlive(std::int64_t pid) {
  if (pid <= 0) return false;
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

// Windows sets no file-size limit on a process: a write fails only when the disk is full, and that
// already comes back as an error.
void failWritesPastFileSizeLimit() {}

namespace {

LONG WINAPI endWithTheFault(EXCEPTION_POINTERS* fault) {
  ::TerminateProcess(::GetCurrentProcess(), fault->ExceptionRecord->ExceptionCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

void startAsChild() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(endWithTheFault);
  wchar_t text[32] = {};
  if (::GetEnvironmentVariableW(kCpuBudgetVariable, text, 32) == 0) return;
  const std::uint64_t seconds = std::wcstoull(text, nullptr, 10);
  if (seconds == 0) return;
  // Past the budget and a second of grace, as POSIX has a hard limit a second past the soft one.
  const std::uint64_t until = (seconds + 1) * 10'000'000;
  std::thread([until] {
    const HANDLE self = ::GetCurrentProcess();
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      if (windows::processorTime(self) > until) {
        std::fflush(stderr);
        ::TerminateProcess(self, kCpuLimitExitCode);
      }
    }
  }).detach();
}

bool isTerminal(StandardStream stream) {
  const HANDLE handle =
      ::GetStdHandle(stream == StandardStream::Error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

bool writeToChannel(int channel, std::string_view line) {
  const HANDLE handle = windows::handleOf(channel);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const char* data = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1 << 20));
    if (!::WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
    data += written;
    left -= written;
  }
  return true;
}

struct CpuBudget::Watchdog {
  std::mutex mutex;
  std::condition_variable stop;
  bool stopping = false;
  std::thread thread;
};

CpuBudget::CpuBudget(unsigned seconds) : watchdog_(std::make_unique<Watchdog>()) {
  const HANDLE self = ::GetCurrentProcess();
  const std::uint64_t until = windows::processorTime(self) + std::uint64_t{seconds} * 10'000'000;
  Watchdog& w = *watchdog_;
  w.thread = std::thread([&w, self, until] {
    std::unique_lock lock(w.mutex);
    while (!w.stop.wait_for(lock, std::chrono::milliseconds(50), [&w] { return w.stopping; })) {
      if (windows::processorTime(self) > until) {
        std::fflush(stderr);
        ::TerminateProcess(self, kCpuLimitExitCode);
      }
    }
  });
  active_ = true;
}

CpuBudget::~CpuBudget() {
  if (!active_) return;
  {
    std::lock_guard lock(watchdog_->mutex);
    watchdog_->stopping = true;
  }
  watchdog_->stop.notify_one();
  watchdog_->thread.join();
}

}  // namespace kolt::platform
