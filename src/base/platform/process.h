// This process and others, as the operating system numbers them, and what a helper process needs
// from its side.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

namespace kolt::platform {

std::int64_t processId();
// Whether a process with this number still runs (one we may not signal counts as running).
bool processAlive(std::int64_t pid);

// From now on a write past the file-size limit the system sets for this process fails with "no room
// left", as on a full disk, instead of ending the process halfway through a file.
void failWritesPastFileSizeLimit();

// Called first by a program that runChild starts. From then on a fault (an access violation, a
// stack overflow) ends it at once, as a signal does on POSIX, the parent telling it from its
// status: no error dialog waiting for a user, no debugger started. And the processor-time budget
// the parent set holds even where the system keeps none (Wine ignores a job's limits, and cannot
// tell a parent its child's processor time): a thread of the child's own then reads it and ends
// the child with kCpuLimitExitCode. On POSIX the system does both.
void startAsChild();

enum class StandardStream { Output, Error };
// Whether the stream goes to a terminal, where progress can be redrawn in place.
bool isTerminal(StandardStream stream);

// Writes the whole `line` to the report channel `channel` a parent handed this process (see
// child_process.h); false when nobody reads it any more.
bool writeToChannel(int channel, std::string_view line);

// For as long as it lives, the processor-time limit of this process is lowered to `seconds` past
// what it has used so far; past it the system ends the process as over its CPU limit, which the
// parent reports (ChildOutcome::End::CpuLimit). The limit the parent set comes back afterwards.
// Where the system has no such limit (Windows), a watchdog thread reads the processor time used and
// ends the process with kCpuLimitExitCode.
inline constexpr std::uint32_t kCpuLimitExitCode = 0xC0000044;  // "quota exceeded"

class CpuBudget {
 public:
  explicit CpuBudget(unsigned seconds);
  ~CpuBudget();
  CpuBudget(const CpuBudget&) = delete;
  CpuBudget& operator=(const CpuBudget&) = delete;

 private:
  std::uint64_t savedSoft_ = 0;
  std::uint64_t savedHard_ = 0;
  bool active_ = false;
  struct Watchdog;
  std::unique_ptr<Watchdog> watchdog_;
};

}  // namespace kolt::platform
