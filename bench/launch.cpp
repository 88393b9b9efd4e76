// Starts one program inside the prefix and reports what the Linux side cannot
// see: its run time from CreateProcess to exit, and its peak memory.
//
//   launch.exe COMMAND-LINE
//
// Prints one line, "exit=N us=N peak_ws=N peak_commit=N", and exits with the
// child's exit code (255 when the child could not be started).
#include <windows.h>
#include <psapi.h>

#include <cstdio>

namespace {

// The child's command line is the rest of ours, after our own name.
const wchar_t* ChildCommandLine() {
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

// The counters are peaks already, so the last answer is the highest; it is
// asked while the child runs as well, since some systems forget an exited
// process's counters.
void Sample(HANDLE process, Peak& peak) {
  PROCESS_MEMORY_COUNTERS counters{};
  if (!GetProcessMemoryInfo(process, &counters, sizeof(counters))) return;
  if (counters.PeakWorkingSetSize > peak.workingSet) peak.workingSet = counters.PeakWorkingSetSize;
  if (counters.PeakPagefileUsage > peak.commit) peak.commit = counters.PeakPagefileUsage;
}

}  // namespace

int wmain() {
  wchar_t* command = _wcsdup(ChildCommandLine());
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
  // A short poll keeps the peak of a child whose counters vanish at exit,
  // without a busy loop that would take a core from it.
  while (WaitForSingleObject(child.hProcess, 2) == WAIT_TIMEOUT) Sample(child.hProcess, peak);
  const long long elapsed = Ticks() - start;
  Sample(child.hProcess, peak);
  DWORD exitCode = 255;
  GetExitCodeProcess(child.hProcess, &exitCode);
  CloseHandle(child.hProcess);
  std::free(command);
  std::printf("exit=%lu us=%lld peak_ws=%llu peak_commit=%llu\n", exitCode, Microseconds(elapsed),
              static_cast<unsigned long long>(peak.workingSet),
              static_cast<unsigned long long>(peak.commit));
  return static_cast<int>(exitCode);
}
