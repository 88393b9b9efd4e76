// Starts one program inside the prefix and reports what the Linux side cannot
// see: its run time from CreateProcess to exit, and its peak memory.
//
//   launch.exe [--memory] COMMAND-LINE
//
// Prints one line, "exit=N us=N peak_ws=N peak_commit=N", and exits with the
// child's exit code (255 when the child could not be started). Peak memory is
// read only with --memory: Wine forgets an exited process's counters, so they
// are polled while it runs, and each poll is a server call that the child
// would otherwise have to itself; without --memory both peaks are 0.
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

namespace {

constexpr wchar_t kMemoryOption[] = L"--memory ";
constexpr std::size_t kMemoryOptionLength = sizeof(kMemoryOption) / sizeof(wchar_t) - 1;

// Our command line after our own name.
const wchar_t* Arguments() {
  const wchar_t* line = GetCommandLineW();
  if (*line == L'"') {
    ++line;
    while (*line != L'\0' && *line != L'"') ++line;
    if (*line == L'"') ++line;
  } else {
    while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

long long Ticks() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart;
}

long long Microseconds(long long ticks) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return ticks * 1000000 / frequency.QuadPart;
}

struct Peak {
  SIZE_T workingSet = 0;
  SIZE_T commit = 0;
};

// The counters are peaks already, so the last answer is the highest.
void Sample(HANDLE process, Peak& peak) {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return;
  if (counters.PeakWorkingSetSize > peak.workingSet) peak.workingSet = counters.PeakWorkingSetSize;
  if (counters.PeakPagefileUsage > peak.commit) peak.commit = counters.PeakPagefileUsage;
}

}  // namespace

// A short poll keeps the peak without a busy loop that would take a core from the child.
void Wait(HANDLE process, bool memory, Peak& peak) {
  if (!memory) {
    WaitForSingleObject(process, INFINITE);
    return;
  }
  while (WaitForSingleObject(process, 2) == WAIT_TIMEOUT) Sample(process, peak);
}

int wmain() {
  const wchar_t* arguments = Arguments();
  const bool memory = std::wcsncmp(arguments, kMemoryOption, kMemoryOptionLength) == 0;
  wchar_t* command = _wcsdup(memory ? arguments + kMemoryOptionLength : arguments);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION child{};
  const long long start = Ticks();
  if (command == nullptr || *command == L'\0' ||
      !CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &child)) {
    std::fprintf(stderr, "launch: cannot start the program (error %lu)\n", GetLastError());
    return 255;
  }
  CloseHandle(child.hThread);
  Peak peak;
  Wait(child.hProcess, memory, peak);
  const long long elapsed = Ticks() - start;
  DWORD exitCode = 255;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hProcess);
  std::free(command);
  std::printf("exit=%lu us=%lld peak_ws=%llu peak_commit=%llu\n", exitCode, Microseconds(elapsed),
              static_cast<unsigned long long>(peak.workingSet),
              static_cast<unsigned long long>(peak.commit));
  return static_cast<int>(exitCode);
}
