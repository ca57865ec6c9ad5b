// What the Windows side of the platform layer shares: errors as the rest of the program compares
// them, and file handles as C runtime descriptors.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <system_error>

namespace kolt::platform::windows {

// The system's error as a portable condition where one fits (so that callers can compare it with
// std::errc values as on POSIX), else as the system's own code.
std::error_code errorFrom(DWORD code);
inline std::error_code lastError() {
  return errorFrom(::GetLastError());
}

// Where runChild tells a child its processor-time budget, in seconds (see startAsChild).
inline constexpr const wchar_t* kCpuBudgetVariable = L"KOLT_CPU_SECONDS";

// A handle from CreateFileW as a C runtime descriptor in binary mode, which then owns it; -1 (and
// the handle closed) when the runtime has no descriptor left.
int descriptorFor(HANDLE handle);
HANDLE handleOf(int descriptor);

// Processor time, user and kernel, that `process` has used, in 100-nanosecond units; 0 when the
// system does not say.
std::uint64_t processorTime(HANDLE process);

}  // namespace kolt::platform::windows
