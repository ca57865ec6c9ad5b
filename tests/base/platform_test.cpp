// The platform layer's promises that the rest of the program builds on: one lock holder at a time
// and none after a killed one; a replaced file whole or untouched; a child process whose end is
// told apart (exit, crash, CPU limit, memory limit, timeout, silence).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/platform/child_process.h"
#include "base/platform/file_lock.h"
#include "base/replace_file.h"

namespace kolt::platform {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

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
          ("kolt-platform-" + std::to_string(::getpid()) + "-" +
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
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const ExclusiveLock held = tryLock(file);
    if (held.state() == ExclusiveLock::State::Held) ::kill(::getpid(), SIGKILL);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the holder did not get the lock";
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

  fs::create_symlink(dir / "otro", file);
  EXPECT_EQ(waitForLock(file, {}).state(), ExclusiveLock::State::IsLink);
  EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::IsLink);
  EXPECT_FALSE(fs::exists(dir / "otro"));
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
  const fs::path alive = dir / ("db.tmp-" + std::to_string(::getpid()) + "-1");
  std::ofstream(dead) << "x";
  std::ofstream(alive) << "x";
  base::temporaryNameFor(target);
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
}

TEST(ChildProcess, EachWayOfEndingIsToldApart) {
  struct Case {
    const char* script;
    ChildLimits limits;
    ChildOutcome::End end;
    int status;
  };
  ChildLimits cpu;
  cpu.cpuSeconds = 1;
  ChildLimits timeout;
  timeout.timeout = 300ms;
  ChildLimits silence;
  silence.stallTimeout = 300ms;
  const Case cases[] = {
      {"echo uno >&3; echo dos >&3; exit 3", {}, ChildOutcome::End::Exited, 3},
      {"echo roto >&2; kill -SEGV $$", {}, ChildOutcome::End::Signalled, SIGSEGV},
      {"while :; do :; done", cpu, ChildOutcome::End::CpuLimit, SIGXCPU},
      {"echo uno >&3; sleep 10", timeout, ChildOutcome::End::TimedOut, SIGKILL},
      {"echo uno >&3; sleep 10", silence, ChildOutcome::End::Stalled, SIGKILL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    std::vector<std::string> lines;
    const ChildOutcome outcome = runChild("/bin/sh", {"-c", c.script}, c.limits,
                                          [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(outcome.end, c.end);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_FALSE(lines.empty() && std::string(c.script).starts_with("echo uno"));
  }
  const ChildOutcome crashed =
      runChild("/bin/sh", {"-c", "echo roto >&2; kill -SEGV $$"}, {}, [](std::string_view) {});
  EXPECT_EQ(crashed.diagnostics, "roto\n");
}

TEST(ChildProcess, ReportsArriveInOrderAndAThrowingReaderKillsTheChild) {
  std::vector<std::string> lines;
  runChild("/bin/sh", {"-c", "printf 'uno\\ndos\\n' >&3"}, {},
           [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_EQ(lines, (std::vector<std::string>{"uno", "dos"}));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_THROW(runChild("/bin/sh", {"-c", "echo uno >&3; sleep 10"}, {},
                        [](std::string_view) { throw std::runtime_error("enough"); }),
               std::runtime_error);
  EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
}

TEST(ChildProcess, MemoryLimitIsEnforced) {
  if (!kMemoryLimitApplies)
    GTEST_SKIP() << "a sanitized child cannot run under an address-space limit";
  ChildLimits limits;
  limits.memoryBytes = 64 << 20;
  std::vector<std::string> lines;
  const ChildOutcome outcome =
      runChild("/bin/sh", {"-c", "x=$(head -c 200000000 /dev/zero | tr '\\0' a); echo vivo >&3"},
               limits, [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_FALSE(outcome.end == ChildOutcome::End::Exited && outcome.status == 0);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace kolt::platform
