// The platform layer's promises that the rest of the program builds on: one lock holder at a
// time and none after a killed one; a replaced file whole or untouched; a child process whose
// end is told apart (exit, crash, CPU limit, memory limit, timeout, silence); Ctrl-C and a
// request to end the program become a flag the run reads, once.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "base/platform/child_process.h"
#include "base/platform/file_lock.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"
#include "base/replace_file.h"
#include "support/paths.h"

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

// A holder in another process keeps the lock from us, and from the time it is killed holds it no
// more; a second holder, in this process or in another, is refused a lock we hold until we let go.
// A lock lives only while held: a waiter whose file was removed by the holder takes the lock on
// the file under the name, so that a third process cannot hold it beside it.
TEST(Files, ALockHasOneHolderAtATimeAndAWaiterGetsItWhenTheHolderLetsGo) {
  const test::TempDir dir;
  const fs::path file = dir / "x.lock";
  std::vector<std::string> lines;
  runChild(testChild(), {"lock", utf8(file), "report", "tomado", "sleep", "30"}, {.timeout = 2s},
           [&](std::string_view l) {
             lines.emplace_back(l);
             EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::InUse);
           });
  ASSERT_EQ(lines, std::vector<std::string>{"tomado"}) << "the holder did not get the lock";
  {
    const ExclusiveLock ours = tryLock(file);
    ASSERT_EQ(ours.state(), ExclusiveLock::State::Held);
    EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::InUse);
    EXPECT_EQ(runChild(testChild(), {"lock", utf8(file)}, {}, [](std::string_view) {}).status, 122)
        << "the other process got a lock we hold";
  }
  EXPECT_EQ(tryLock(file).state(), ExclusiveLock::State::Held);
  EXPECT_EQ(tryLock(dir / "missing" / "x.lock").state(), ExclusiveLock::State::CannotOpen);

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

// The target keeps its old contents unless the new ones are whole; no temporary stays either
// way, and those of dead processes are swept.
TEST(Files, AReplacedTargetIsWholeOrUntouchedAndNoTemporaryStays) {
  const test::TempDir dir;
  // Of a process that is gone, and ours under a number this process never gives.
  const fs::path dead = dir / "written.tmp-999999999-1",
                 alive = dir / ("written.tmp-" + std::to_string(processId()) + "-0");
  for (const fs::path& file : {dead, alive}) std::ofstream(file) << "x";
  // A rename over a folder that holds something fails.
  for (const auto& [name, writeFails, targetIsAFolder, expected] :
       {std::tuple{"written", false, false, "new"}, std::tuple{"write throws", true, false, "old"},
        std::tuple{"rename refused", false, true, "folder kept"}}) {
    SCOPED_TRACE(name);
    const fs::path target = dir / name;
    targetIsAFolder ? void(fs::create_directories(target / "inside"))
                    : void(std::ofstream(target) << "old");
    const fs::path temporary = base::temporaryNameFor(target);
    auto write = [&] {
      std::ofstream(temporary) << "new";
      if (writeFails) throw std::runtime_error("disk gone");
    };
    std::error_code error;
    if (writeFails)
      EXPECT_THROW(base::replaceFile(temporary, target, write), std::runtime_error);
    else
      error = base::replaceFile(temporary, target, write);
    EXPECT_EQ(bool(error), targetIsAFolder);
    EXPECT_EQ(fs::is_directory(target) ? "folder kept" : test::fileText(target), expected);
    EXPECT_FALSE(fs::exists(temporary));
  }
  EXPECT_FALSE(fs::exists(dead));
  EXPECT_TRUE(fs::exists(alive));
}

// Each way of ending is told apart; blanks, quotes, backslashes and accents survive the way to
// the child and back, and the reports arrive whole and in order.
TEST(ChildProcess, EachWayOfEndingIsToldApartAndReportsArriveAsWritten) {
  using End = ChildOutcome::End;
  using Lines = std::vector<std::string>;
  const std::string kSigint = std::to_string(SIGINT);
  // The empty one first: last, a child would read it as a missing word and report it all the same.
  const Lines texts = {
      "",         "dos palabras", "comillas \"dentro\"", "barra\\", "C:\\Carpeta con espacio\\",
      "año ñandú"};
  Lines everyText;
  for (const auto& t : texts) everyText.insert(everyText.end(), {"report", t});
  // The status is checked for an exit and a fault only.
  const std::tuple<Lines, ChildLimits, ChildOutcome::End, int, Lines> cases[] = {
      // Two lines in one write arrive as two.
      {{"report", "uno\ndos", "flag"}, {}, End::Exited, 1, {"uno", "dos"}},
      {everyText, {}, End::Exited, 0, texts},
      {{"stderr", "roto", "crash"}, {}, End::Signalled, kFaultStatus, {}},
      {{"spin"}, {.cpuSeconds = 1}, End::CpuLimit, 0, {}},
      // A child ended by a limit never wakes to send its second line, however long the machine
      // keeps the parent waiting. A busy machine (Wine starts a process slowly) may end it
      // before its first line too: only a prefix of what it writes is certain to arrive.
      {{"report", "uno", "sleep", "3600", "report", "dos"},
       {.timeout = 300ms},
       End::TimedOut,
       0,
       {"uno"}},
      {{"report", "uno", "sleep", "3600", "report", "dos"},
       {.stallTimeout = 300ms},
       End::Stalled,
       0,
       {"uno"}},
      // What the importer does around a step that must not run away: on Windows a watchdog
      // thread, on POSIX the system's limit, and the parent tells it from a crash either way.
      {{"budget", "1", "spin"}, {}, End::CpuLimit, 0, {}},
#ifndef _WIN32
      // Ctrl-C and a request to end the program become a flag the run reads, once: the second
      // request ends the program, as the first does once the hook is gone.
      {{"hook", "raise", kSigint, "flag"}, {}, End::Exited, 7, {}},
      {{"hook", "raise", std::to_string(SIGTERM), "flag"}, {}, End::Exited, 7, {}},
      {{"hook", "raise", kSigint, "raise", kSigint, "flag"}, {}, End::Signalled, SIGINT, {}},
      {{"hook", "unhook", "raise", kSigint, "flag"}, {}, End::Signalled, SIGINT, {}},
#endif
  };
  for (const auto& [steps, limits, end, status, expected] : cases) {
    SCOPED_TRACE(::testing::PrintToString(steps));
    Lines lines;
    const ChildOutcome outcome =
        runChild(testChild(), steps, limits, [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(outcome.end, end);
    const bool told = end == End::Exited || end == End::Signalled;
    EXPECT_EQ(told ? outcome.status : status, status);
    if (end == End::TimedOut || end == End::Stalled) {
      EXPECT_TRUE(lines.size() <= expected.size() &&
                  std::equal(lines.begin(), lines.end(), expected.begin()))
          << ::testing::PrintToString(lines);
    } else {
      EXPECT_EQ(lines, expected);
    }
    EXPECT_TRUE(steps.front() != "stderr" || outcome.diagnostics.starts_with("roto"))
        << outcome.diagnostics;
  }
}

// A reader that throws has the child killed; a child over its memory limit does not go on.
// A child the throw did not end would hold the test for its hour of sleep: a fault shows as a
// hang, and a busy machine fails nothing.
TEST(ChildProcess, AThrowingReaderKillsTheChildAndTheMemoryLimitIsEnforced) {
  EXPECT_THROW(runChild(testChild(), {"report", "uno", "sleep", "3600"}, {},
                        [](std::string_view) { throw std::runtime_error("enough"); }),
               std::runtime_error);
  if (!kMemoryLimitApplies || !memoryLimitEnforced())
    GTEST_SKIP() << "a sanitized child cannot run under an address-space limit, and Wine keeps "
                    "no memory limit of a job object";
  std::vector<std::string> lines;
  const ChildOutcome outcome =
      runChild(testChild(), {"allocate", "200", "report", "vivo"}, {.memoryBytes = 64 << 20},
               [&](std::string_view l) { lines.emplace_back(l); });
  EXPECT_FALSE(outcome.end == ChildOutcome::End::Exited && outcome.status == 0);
  EXPECT_TRUE(lines.empty());
}

}  // namespace
}  // namespace kolt::platform
