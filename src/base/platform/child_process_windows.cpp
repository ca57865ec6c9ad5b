#include <algorithm>
#include <cstring>
#include <cwchar>
#include <system_error>

#include "base/platform/child_process.h"
#include "base/platform/paths.h"
#include "base/platform/process.h"
#include "base/platform/windows_support.h"

namespace kolt::platform {
namespace {

constexpr std::size_t kDiagnosticsKept = 8192;
// The exit code this side gives a child it ends, as POSIX reports SIGKILL.
constexpr UINT kKilledExitCode = 9;

class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() { reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  void reset(HANDLE h = nullptr) {
    if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) ::CloseHandle(h_);
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};

[[noreturn]] void fail(const char* what) {
  throw std::system_error(windows::lastError(), what);
}

// A pipe whose write end the child inherits; the read end stays ours alone.
void makePipe(Handle& readEnd, Handle& writeEnd) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE r = nullptr, w = nullptr;
  if (!::CreatePipe(&r, &w, &inherit, 0)) fail("CreatePipe");
  readEnd.reset(r);
  writeEnd.reset(w);
  ::SetHandleInformation(r, HANDLE_FLAG_INHERIT, 0);
}

// One argument as the child's C runtime splits its command line back (CommandLineToArgvW's rules).
void appendQuoted(std::wstring& line, const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      line.append(2 * backslashes + 1, L'\\');
    else
      line.append(backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

// The C runtime hands a child its open descriptors through STARTUPINFO's reserved block: a count,
// one flag byte per descriptor, then the handles. This is how the report pipe becomes descriptor
// kReportChannel in the child, as on POSIX.
std::vector<unsigned char> descriptorBlock(
    const std::vector<std::pair<HANDLE, unsigned char>>& fds) {
  const int count = static_cast<int>(fds.size());
  std::vector<unsigned char> block(sizeof(int) + fds.size() * (1 + sizeof(HANDLE)));
  std::memcpy(block.data(), &count, sizeof count);
  for (std::size_t i = 0; i < fds.size(); ++i) {
    block[sizeof(int) + i] = fds[i].second;
    std::memcpy(block.data() + sizeof(int) + fds.size() + i * sizeof(HANDLE), &fds[i].first,
                sizeof(HANDLE));
  }
  return block;
}
constexpr unsigned char kOpen = 0x01, kPipe = 0x08, kDevice = 0x40;

// Whether an exit code is an exception that ended the process (an access violation, a stack
// overflow, a failed check of the runtime), as a signal ends one on POSIX.
bool endedByFault(DWORD code) {
  return (code & 0xF0000000) == 0xC0000000 && code != kCpuLimitExitCode;
}

// This process's environment with the child's processor-time budget added (see startAsChild).
std::wstring environmentWithBudget(std::uint64_t cpuSeconds) {
  std::wstring block;
  const std::wstring name = std::wstring(windows::kCpuBudgetVariable) + L"=";
  if (wchar_t* strings = ::GetEnvironmentStringsW(); strings != nullptr) {
    for (const wchar_t* entry = strings; *entry != L'\0'; entry += std::wcslen(entry) + 1) {
      if (std::wcsncmp(entry, name.c_str(), name.size()) != 0) block.append(entry).push_back(L'\0');
    }
    ::FreeEnvironmentStringsW(strings);
  }
  block.append(name + std::to_wstring(cpuSeconds)).push_back(L'\0');
  block.push_back(L'\0');
  return block;
}

}  // namespace

bool memoryLimitEnforced() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const bool wine = ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
  return kMemoryLimitApplies && !wine;
}

ChildOutcome runChild(const std::filesystem::path& program,
                      const std::vector<std::string>& arguments, const ChildLimits& limits,
                      const std::function<void(std::string_view)>& onLine) {
  using Clock = std::chrono::steady_clock;
  std::wstring commandLine;
  appendQuoted(commandLine, program.native());
  for (const auto& argument : arguments) {
    commandLine += L' ';
    appendQuoted(commandLine, pathFromUtf8(argument).native());
  }

  Handle reportRead, reportWrite, errorRead, errorWrite;
  makePipe(reportRead, reportWrite);
  makePipe(errorRead, errorWrite);
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  Handle nul(::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr));
  if (nul.get() == INVALID_HANDLE_VALUE) fail("NUL");

  std::vector<std::pair<HANDLE, unsigned char>> fds(kReportChannel + 1, {INVALID_HANDLE_VALUE, 0});
  fds[0] = fds[1] = {nul.get(), kOpen | kDevice};
  fds[2] = {errorWrite.get(), kOpen | kPipe};
  fds[kReportChannel] = {reportWrite.get(), kOpen | kPipe};
  std::vector<unsigned char> block = descriptorBlock(fds);

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = nul.get();
  startup.StartupInfo.hStdOutput = nul.get();
  startup.StartupInfo.hStdError = errorWrite.get();
  startup.StartupInfo.cbReserved2 = static_cast<WORD>(block.size());
  startup.StartupInfo.lpReserved2 = block.data();

  // Only these handles go to the child, whatever else this process has open to inherit: a pipe
  // another thread is making at the same moment must not stay open in this child.
  HANDLE inherited[] = {nul.get(), errorWrite.get(), reportWrite.get()};
  SIZE_T attributeSize = 0;
  ::InitializeProcThreadAttributeList(nullptr, 1, 0, &attributeSize);
  std::vector<unsigned char> attributes(attributeSize);
  auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes.data());
  DWORD flags = CREATE_SUSPENDED | CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT;
  if (::InitializeProcThreadAttributeList(list, 1, 0, &attributeSize) &&
      ::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                  sizeof inherited, nullptr, nullptr)) {
    startup.lpAttributeList = list;
    flags |= EXTENDED_STARTUPINFO_PRESENT;
  }

  // The budget the system keeps: memory, processor time, and no error dialog for a crash; the job
  // ends the child, and whatever it started, when we let go of it.
  Handle job(::CreateJobObjectW(nullptr, nullptr));
  if (job.get() == nullptr) fail("CreateJobObject");
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION budget{};
  budget.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
  if (limits.memoryBytes != 0 && kMemoryLimitApplies) {
    budget.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_MEMORY;
    budget.ProcessMemoryLimit = static_cast<SIZE_T>(limits.memoryBytes);
  }
  if (limits.cpuSeconds != 0) {
    budget.BasicLimitInformation.LimitFlags |= JOB_OBJECT_LIMIT_PROCESS_TIME;
    budget.BasicLimitInformation.PerProcessUserTimeLimit.QuadPart =
        static_cast<LONGLONG>(limits.cpuSeconds + 1) * 10'000'000;
  }
  ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &budget, sizeof budget);

  // A child inherits the error mode: with this one a crash ends it at once, with no dialog for a
  // user to answer and no debugger started (the job's limit does the same on Windows, not on Wine).
  const UINT errorMode =
      ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  PROCESS_INFORMATION info{};
  std::wstring environment = environmentWithBudget(limits.cpuSeconds);
  const BOOL started = ::CreateProcessW(
      program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, flags,
      limits.cpuSeconds != 0 ? environment.data() : nullptr, nullptr, &startup.StartupInfo, &info);
  ::SetErrorMode(errorMode);
  if (startup.lpAttributeList != nullptr) ::DeleteProcThreadAttributeList(list);
  if (!started) fail("CreateProcess");
  Handle process(info.hProcess), thread(info.hThread);
  ::AssignProcessToJobObject(job.get(), process.get());
  ::ResumeThread(thread.get());
  reportWrite.reset();
  errorWrite.reset();
  nul.reset();

  ChildOutcome outcome;
  bool killed = false;
  auto kill = [&](ChildOutcome::End why) {
    if (killed) return;
    ::TerminateJobObject(job.get(), kKilledExitCode);
    ::TerminateProcess(process.get(), kKilledExitCode);
    killed = true;
    outcome.end = why;
  };
  // Wine keeps no processor-time limit of a job: the watchdog here keeps it everywhere.
  const std::uint64_t cpuTicks = limits.cpuSeconds * 10'000'000;
  auto overBudget = [&] {
    return cpuTicks != 0 && windows::processorTime(process.get()) > cpuTicks + 10'000'000;
  };

  const auto startedAt = Clock::now();
  auto lastReport = startedAt;
  std::string pending;
  try {
    HANDLE pipes[2] = {reportRead.get(), errorRead.get()};
    int open = 2;
    bool exited = false;
    while (open > 0 && !killed) {
      const auto now = Clock::now();
      if (limits.timeout.count() > 0 && now - startedAt >= limits.timeout) {
        kill(ChildOutcome::End::TimedOut);
        break;
      }
      if (limits.stallTimeout.count() > 0 && now - lastReport >= limits.stallTimeout) {
        kill(ChildOutcome::End::Stalled);
        break;
      }
      if (overBudget()) {
        kill(ChildOutcome::End::CpuLimit);
        break;
      }
      bool gotSome = false;
      for (int i = 0; i < 2; ++i) {
        if (pipes[i] == nullptr) continue;
        DWORD available = 0;
        if (!::PeekNamedPipe(pipes[i], nullptr, 0, nullptr, &available, nullptr)) {
          pipes[i] = nullptr;  // the child closed its end
          --open;
          continue;
        }
        if (available == 0) continue;
        char buffer[65536];
        DWORD n = 0;
        if (!::ReadFile(pipes[i], buffer, std::min<DWORD>(available, sizeof buffer), &n, nullptr) ||
            n == 0) {
          pipes[i] = nullptr;
          --open;
          continue;
        }
        gotSome = true;
        if (i == 1) {
          outcome.diagnostics.append(buffer, n);
          if (outcome.diagnostics.size() > 2 * kDiagnosticsKept)
            outcome.diagnostics.erase(0, outcome.diagnostics.size() - kDiagnosticsKept);
          continue;
        }
        lastReport = Clock::now();
        pending.append(buffer, n);
        std::size_t from = 0;
        for (std::size_t end; (end = pending.find('\n', from)) != std::string::npos; from = end + 1)
          onLine(std::string_view(pending).substr(from, end - from));
        pending.erase(0, from);
      }
      if (gotSome) continue;
      // Everything an ended child wrote is in the pipes already, and was read above: Wine does not
      // always report a pipe broken once its writer is gone, so the child's end ends the reading.
      if (exited) break;
      // Anonymous pipes cannot be waited on: wait on the child a little, which ends early when it
      // exits, and look at the pipes again.
      exited = ::WaitForSingleObject(process.get(), 10) == WAIT_OBJECT_0;
    }
  } catch (...) {
    ::TerminateJobObject(job.get(), kKilledExitCode);
    ::WaitForSingleObject(process.get(), INFINITE);
    throw;
  }

  // The channels are closed; the child is ending (or was killed). Still bounded by the limits: a
  // child that closed its handles and then hung must not hang us.
  for (;;) {
    if (::WaitForSingleObject(process.get(), killed ? INFINITE : 20) == WAIT_OBJECT_0) break;
    const auto now = Clock::now();
    if ((limits.timeout.count() > 0 && now - startedAt > limits.timeout) ||
        (limits.stallTimeout.count() > 0 && now - lastReport > limits.stallTimeout))
      kill(ChildOutcome::End::TimedOut);
    else if (overBudget())
      kill(ChildOutcome::End::CpuLimit);
  }
  if (outcome.diagnostics.size() > kDiagnosticsKept)
    outcome.diagnostics.erase(0, outcome.diagnostics.size() - kDiagnosticsKept);
  DWORD code = 0;
  ::GetExitCodeProcess(process.get(), &code);
  if (killed) {
    outcome.status = static_cast<int>(kKilledExitCode);
  } else if (code == kCpuLimitExitCode || (code == ERROR_NOT_ENOUGH_QUOTA && cpuTicks != 0 &&
                                           windows::processorTime(process.get()) >= cpuTicks)) {
    outcome.end = ChildOutcome::End::CpuLimit;
    outcome.status = static_cast<int>(code);
  } else if (endedByFault(code)) {
    outcome.end = ChildOutcome::End::Signalled;
    outcome.status = static_cast<int>(code);
  } else {
    outcome.end = ChildOutcome::End::Exited;
    outcome.status = static_cast<int>(code);
  }
  return outcome;
}

}  // namespace kolt::platform
