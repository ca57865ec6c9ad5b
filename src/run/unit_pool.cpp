#include "run/unit_pool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "run/source_check.h"
#include "run/source_tables.h"
#include "run/unit_validator.h"

namespace kolt::run {
namespace {

// A unit's validation, or what it threw, or nothing when it was skipped.
struct Slot {
  bool done = false;
  std::optional<UnitValidation> validation;
  std::exception_ptr error;
};

class Pool {
 public:
  Pool(const RunRequest& request, const results::ResultsFolder& folder, bool keepTrace,
       RunObserver* observer)
      : request_(request),
        folder_(folder),
        keepTrace_(keepTrace),
        observer_(observer),
        slots_(request.units.size()),
        // Finished units wait for the ones before them in list order; how far the threads may run
        // ahead bounds the memory those waiting results hold.
        window_(4 * threadsFor(request) + 4) {}

  ~Pool() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }

  void start() {
    for (unsigned i = 0; i < threadsFor(request_); ++i) threads_.emplace_back([this] { work(); });
  }

  // Waits for unit `index`; the slot is the caller's until it calls release.
  Slot& await(std::size_t index) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return slots_[index].done; });
    return slots_[index];
  }

  void release(std::size_t index) {
    {
      std::lock_guard lock(mutex_);
      slots_[index] = Slot{true, std::nullopt, nullptr};
      emitted_ = index + 1;
    }
    changed_.notify_all();
  }

 private:
  void work() {
    UnitValidator validator(request_, folder_, keepTrace_,
                            [this](const std::string& unit, const auto& p) {
                              if (!observer_) return;
                              std::lock_guard lock(observerMutex_);
                              observer_->ruleStarted(unit, p);
                            });
    for (;;) {
      std::size_t index;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] {
          return stopping_ || next_ >= slots_.size() || next_ < emitted_ + window_;
        });
        if (stopping_ || next_ >= slots_.size()) return;
        index = next_++;
      }
      Slot slot;
      slot.done = true;
      const bool first = index == 0;
      try {
        // A unit is not begun once the run was asked to stop; the units after it pass quickly.
        if (!cancelled() && sourceCheck_.admits(index))
          slot.validation =
              validator.validate(request_.units[index], first ? &sourceCheck_ : nullptr);
      } catch (...) {
        slot.error = std::current_exception();
      }
      if (first) sourceCheck_.firstUnitOver();
      if (slot.validation && slot.validation->cancelled) slot.validation.reset();
      if (observer_ && slot.validation) {
        std::lock_guard lock(observerMutex_);
        const int count = static_cast<int>(slots_.size());
        observer_->unitFinished(++finished_, count, slot.validation->result.unit);
        observer_->unitValidated(finished_, count, slot.validation->result);
      }
      {
        std::lock_guard lock(mutex_);
        slots_[index] = std::move(slot);
      }
      changed_.notify_all();
    }
  }

  bool cancelled() const { return request_.cancel != nullptr && request_.cancel->load(); }

  const RunRequest& request_;
  const results::ResultsFolder& folder_;
  bool keepTrace_;
  RunObserver* observer_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Slot> slots_;
  std::size_t next_ = 0;     // the next unit a thread takes
  std::size_t emitted_ = 0;  // units the caller has released
  const std::size_t window_;
  bool stopping_ = false;

  SourceCheck sourceCheck_;

  std::mutex observerMutex_;
  int finished_ = 0;

  std::vector<std::thread> threads_;  // last: joined before the rest goes
};

}  // namespace

unsigned threadsFor(const RunRequest& request) {
  unsigned threads = request.threads;
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<unsigned>(
      std::max<std::size_t>(1, std::min<std::size_t>(threads, request.units.size())));
}

void validateUnits(const RunRequest& request, const results::ResultsFolder& folder, bool keepTrace,
                   RunObserver* observer, const std::function<bool(UnitValidation&)>& take) {
  if (request.units.empty()) return;
  Pool pool(request, folder, keepTrace, observer);
  pool.start();
  for (std::size_t i = 0; i < request.units.size(); ++i) {
    Slot& slot = pool.await(i);
    if (slot.error) std::rethrow_exception(slot.error);
    if (!slot.validation) {
      // Stopped or never begun at the user's request: the units finished beside it still count.
      const bool stopping = request.cancel != nullptr && request.cancel->load();
      if (!stopping) return;
      pool.release(i);
      continue;
    }
    if (!take(*slot.validation)) return;
    pool.release(i);
  }
}

}  // namespace kolt::run
