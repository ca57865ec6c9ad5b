// Running a helper program as a child process that may crash, hang or eat memory.
//
// The child gets its limits (address space, CPU time, no core file) before it starts, writes its
// reports as lines to the report channel (file descriptor 3 on POSIX), and has its standard error
// kept (the tail of it) for diagnosis. The parent kills it when it runs past its time, or stays
// silent too long.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kolt::platform {

// Where the child finds the report channel; passed to it on its command line.
inline constexpr int kReportChannel = 3;

// AddressSanitizer reserves terabytes of address space up front, so a sanitized child cannot run
// under an address-space limit: in such a build `memoryBytes` is not applied; the time limits
// still hold.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kMemoryLimitApplies = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kMemoryLimitApplies = false;
#else
inline constexpr bool kMemoryLimitApplies = true;
#endif
#else
inline constexpr bool kMemoryLimitApplies = true;
#endif

// Whether the system itself keeps a child within `memoryBytes`: Wine accepts a job object's limits
// and keeps none of them, so there a child can only be stopped by its time limits.
bool memoryLimitEnforced();

struct ChildLimits {
  std::chrono::milliseconds timeout{0};       // the whole run; 0 = none
  std::chrono::milliseconds stallTimeout{0};  // longest silence on the report channel; 0 = none
  std::uint64_t memoryBytes = 0;              // address space; 0 = none
  std::uint64_t cpuSeconds = 0;               // 0 = none
};

struct ChildOutcome {
  // Ended by itself; ended by a fault (a crash, an abort); ended by the system for going past its
  // processor-time limit; killed for running past `timeout`; killed for being silent past
  // `stallTimeout`.
  enum class End { Exited, Signalled, CpuLimit, TimedOut, Stalled };
  End end = End::Exited;
  int status = 0;           // exit code, or what ended it (on POSIX the signal number)
  std::string diagnostics;  // the last few kilobytes the child wrote to standard error
};

// Runs `program` with `arguments` and calls `onLine` for every line it reports. If `onLine` throws,
// the child is killed and the exception passes on. Throws std::system_error when the child cannot
// be started at all.
ChildOutcome runChild(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const ChildLimits& limits,
                      const std::function<void(std::string_view)>& onLine);

}  // namespace kolt::platform
