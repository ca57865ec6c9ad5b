#include "run/source_check.h"

#include "base/error.h"

namespace kolt::run {

bool SourceCheck::admits(std::size_t index) {
  if (index == 0) return true;
  std::unique_lock lock(mutex_);
  settled_.wait(lock, [&] { return state_ != State::Pending; });
  return state_ == State::Usable;
}

bool SourceCheck::showsUnusable(const engine::StatementRecord& copy) {
  if (copy.ok || copy.errorNumber == base::kErrDiskFull) return false;
  settle(State::Unusable);
  return true;
}

void SourceCheck::firstUnitCopied() {
  settle(State::Usable);
}

void SourceCheck::firstUnitOver() {
  settle(State::Unusable);
}

// The first judgement stands.
void SourceCheck::settle(State state) {
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::Pending) return;
    state_ = state;
  }
  settled_.notify_all();
}

}  // namespace kolt::run
