// The platform layer's promises that the rest of the program builds on: one lock holder at a time
// and none after a killed one; a replaced file whole or untouched; a child process whose end is
// told apart (exit, crash, CPU limit, memory limit, timeout, silence).
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/platform/child_process.h"
#include "base/platform/file_lock.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"
#include "base/replace_file.h"

namespace kolt::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The status of a child ended by a write through a null pointer.
#ifdef _WIN32
constexpr int kFaultStatus = static_cast<int>(0xC0000005);  // access violation
#else
constexpr int kFaultStatus = SIGSEGV;
#endif

fs::path testChild() {
  return executableIn(programFile(nullptr).parent_path(), "kolt-test-child");
}

void ignore(std::string_view) {}

std::string contents(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class Scratch : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("kolt-platform-" + std::to_string(processId()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
};

using Lock = Scratch;

TEST_F(Lock, ASecondHolderIsRefusedUntilTheFirstLetsGo) {
  const fs::path file = dir / "x.lock";
  {
    const ExclusiveLock first = tryLock(file);
    ASSERT_EQ(first.state(), ExclusiveLock::State::Held);
    EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::InUse);
  }
  EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::Held);
  EXPECT_EQ(tryLock(dir / "missing" / "x.lock").state(), ExclusiveLock::State::CannotOpen);
}

TEST_F(Lock, AKilledHolderLeavesNoLock) {
  const fs::path file = dir / "x.lock";
  ChildLimits limits;
  limits.timeout = 2s;
  std::vector<std::string> lines;
  const ChildOutcome outcome =
      runChild(testChild(), {"lock", utf8(file), "report", "tomado", "sleep", "30"}, limits,
               [&](std::string_view l) { lines.emplace_back(l); });
  ASSERT_EQ(lines, std::vector<std::string>{"tomado"}) << "the holder did not get the lock";
  ASSERT_EQ(outcome.end, ChildOutcome::End::TimedOut);
  EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::Held);
}

// A lock that lives only while held: a waiter whose file was removed by the holder takes the lock
// on the file under the name, so that a third process cannot hold it beside it.
TEST_F(Lock, AWaiterGetsTheLockWhenTheHolderLetsGoAndTheFileGoesWithTheLastHolder) {
  const fs::path file = dir / "x.lock";
  auto first = waitForLock(file, {});
  ASSERT_EQ(first.state(), ExclusiveLock::State::Held);
  std::atomic<int> waited{0};
  std::atomic<bool> held{false};
  std::thread second([&] {
    const ExclusiveLock lock = waitForLock(file, [&] { ++waited; });
    held = lock.state() == ExclusiveLock::State::Held;
    // Held under the name: no one else can take it now.
    EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::InUse);
  });
  while (waited == 0) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(held);
  first = ExclusiveLock();
  second.join();
  EXPECT_TRUE(held);
  EXPECT_EQ(waited, 1);
  EXPECT_FALSE(fs::exists(file));

#ifndef _WIN32
  fs::create_symlink(dir / "otro", file);
  EXPECT_EQ(waitForLock(file, {}).state(), ExclusiveLock::State::IsLink);
  EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::IsLink);
  EXPECT_FALSE(fs::exists(dir / "otro"));
#endif
}

TEST_F(Lock, AHolderInAnotherProcessKeepsItFromUs) {
  const fs::path file = dir / "x.lock";
  const ExclusiveLock ours = tryLock(file);
  ASSERT_EQ(ours.state(), ExclusiveLock::State::Held);
  const ChildOutcome outcome = runChild(testChild(), {"lock", utf8(file)}, {}, ignore);
  EXPECT_EQ(outcome.end, ChildOutcome::End::Exited);
  EXPECT_EQ(outcome.status, 122) << "the other process got a lock we hold";
}

using Replace = Scratch;

// The target keeps its old contents unless the new ones are whole; no temporary stays either way.
TEST_F(Replace, TargetIsWholeOrUntouchedAndNoTemporaryStays) {
  struct Case {
    const char* name;
    bool writeFails;
    bool targetIsAFolder;  // a rename over a folder that holds something fails
    const char* expected;
  };
  for (const Case& c :
       {Case{"written", false, false, "new"}, Case{"write throws", true, false, "old"},
        Case{"rename refused", false, true, nullptr}}) {
    SCOPED_TRACE(c.name);
    const fs::path target = dir / c.name;
    if (c.targetIsAFolder) {
      fs::create_directories(target / "inside");
    } else {
      std::ofstream(target) << "old";
    }
    const fs::path temporary = base::temporaryNameFor(target);
    auto write = [&] {
      std::ofstream(temporary) << "new";
      if (c.writeFails) throw std::runtime_error("disk gone");
    };
    std::error_code error;
    if (c.writeFails) {
      EXPECT_THROW(base::replaceFile(temporary, target, write), std::runtime_error);
    } else {
      error = base::replaceFile(temporary, target, write);
    }
    EXPECT_EQ(bool(error), c.targetIsAFolder);
    if (c.expected != nullptr) {
      EXPECT_EQ(contents(target), c.expected);
    } else {
      EXPECT_TRUE(fs::exists(target / "inside"));
    }
    EXPECT_FALSE(fs::exists(temporary));
  }
}

TEST_F(Replace, TemporariesOfDeadProcessesAreSweptOthersKept) {
  const fs::path target = dir / "db";
  const fs::path dead = dir / "db.tmp-999999999-1";
  const fs::path alive = dir / ("db.tmp-" + std::to_string(processId()) + "-1");
  std::ofstream(dead) << "x";
  std::ofstream(alive) << "x";
  base::temporaryNameFor(target);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
}

TEST(ChildProcess, EachWayOfEndingIsToldApart) {
  struct Case {
    std::vector<std::string> steps;
    ChildLimits limits;
    ChildOutcome::End end;
    int status;  // checked for an exit and a fault only
  };
  ChildLimits cpu;
  cpu.cpuSeconds = 1;
  ChildLimits timeout;
  timeout.timeout = 300ms;
  ChildLimits silence;
  silence.stallTimeout = 300ms;
  const Case cases[] = {
      {{"report", "uno", "report", "dos", "exit", "3"}, {}, ChildOutcome::End::Exited, 3},
      {{"stderr", "roto", "crash"}, {}, ChildOutcome::End::Signalled, kFaultStatus},
      {{"spin"}, cpu, ChildOutcome::End::CpuLimit, 0},
      {{"report", "uno", "sleep", "10"}, timeout, ChildOutcome::End::TimedOut, 0},
      {{"report", "uno", "sleep", "10"}, silence, ChildOutcome::End::Stalled, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.steps.front() + " " + c.steps.back());
    std::vector<std::string> lines;
    const auto started = std::chrono::steady_clock::now();
    const ChildOutcome outcome = runChild(testChild(), c.steps, c.limits,
                                          [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(outcome.end, c.end);
    if (c.end == ChildOutcome::End::Exited || c.end == ChildOutcome::End::Signalled) {
      EXPECT_EQ(outcome.status, c.status);
    }
    EXPECT_FALSE(lines.empty() && c.steps.front() == "report");
    // A spinning child is ended by its processor time, well before anything else would.
    EXPECT_LT(std::chrono::steady_clock::now() - started, 8s);
  }
  const ChildOutcome crashed = runChild(testChild(), {"stderr", "roto", "crash"}, {}, ignore);
  EXPECT_EQ(crashed.diagnostics.substr(0, 4), "roto");
}

TEST(ChildProcess, ReportsArriveInOrderAndAThrowingReaderKillsTheChild) {
  std::vector<std::string> lines;
  runChild(testChild(), {"report", "uno", "report", "dos"}, {},
           [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{"uno", "dos"}));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(runChild(testChild(), {"report", "uno", "sleep", "10"}, {},
                        [](std::string_view) { throw std::runtime_error("enough"); }),
               std::runtime_error);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(ChildProcess, ArgumentsArriveAsWritten) {
  // Blanks, quotes, backslashes and accents survive the way to the child and back.
  const std::vector<std::string> texts = {"dos palabras", "comillas \"dentro\"",
                                          "barra\\",      "C:\\Carpeta con espacio\\",
                                          "año ñandú",    ""};
  std::vector<std::string> steps;
  for (const auto& t : texts) steps.insert(steps.end(), {"report", t});
  std::vector<std::string> lines;
  runChild(testChild(), steps, {}, [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, texts);
}

TEST(ChildProcess, ProcessorBudgetOfTheChildItselfEndsIt) {
  // What the importer does around a step that must not run away: on Windows a watchdog thread,
  // on POSIX the system's limit, and the parent tells it from a crash either way.
  const ChildOutcome outcome = runChild(testChild(), {"budget", "1", "spin"}, {}, ignore);
  EXPECT_EQ(outcome.end, ChildOutcome::End::CpuLimit);
}

TEST(ChildProcess, MemoryLimitIsEnforced) {
  if (!kMemoryLimitApplies)
    GTEST_SKIP() << "a sanitized child cannot run under an address-space limit";
  if (!memoryLimitEnforced()) GTEST_SKIP() << "Wine keeps no memory limit of a job object";
  ChildLimits limits;
  limits.memoryBytes = 64 << 20;
  std::vector<std::string> lines;
  const ChildOutcome outcome = runChild(testChild(), {"allocate", "200", "report", "vivo"}, limits,
                                        [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_FALSE(outcome.end == ChildOutcome::End::Exited && outcome.status == 0);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace kolt::platform
