// Whether the source holds what every unit needs, as the first unit's copies show.
//
// A source without one of the record tables, or without a column the copies read, fails every
// unit's copies the same way. So the first unit copies alone and the other units start only once
// its copies went through: a source that cannot be validated is reported once, and no other unit is
// touched for it. A copy that fails for want of room on the disk says nothing of the source; it is
// that unit's trouble.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>

#include "engine/statement_log.h"

namespace kolt::run {

class SourceCheck {
 public:
  // Whether the unit at `index` of the list may be validated: the first always, any other once the
  // first unit's copies are over and showed the source usable. Waits until then.
  bool admits(std::size_t index);

  // Whether a copy of the first unit, as its record tells, shows the source unusable; when it does,
  // no other unit starts.
  bool showsUnusable(const engine::StatementRecord& copy);
  // The first unit is past its copies, or could not try them for a reason of its own: the other
  // units may start.
  void firstUnitCopied();
  // The first unit's validation is over. Ended before its copies were judged (it threw), it leaves
  // the source unjudged: no other unit starts.
  void firstUnitOver();

 private:
  enum class State { Pending, Usable, Unusable };
  void settle(State state);

  std::mutex mutex_;
  std::condition_variable settled_;
  State state_ = State::Pending;
};

}  // namespace kolt::run
