#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "e2e/scenario.h"
#include "reliability/reliability.h"

// Kills the real setup program at random moments of an install, an update and
// a removal, and checks after each kill, and again after the same command has
// been run to its end, that no owned file is ever half written, that the
// marker never appears before the payload is whole, and that nothing else
// appears.
namespace orvanta::reliability {
namespace {

using e2e::Join;
using e2e::kMarker;
using e2e::kMarkerBytes;
using e2e::kReadme;
using e2e::Profile;
using e2e::ReadBytes;

constexpr const wchar_t* kExe = e2e::kExecutable;
constexpr char kMarkerLine[] = "Orvanta-Native installer v1";
// A bound for a hang only: a run takes about a second, far longer on a busy machine.
constexpr DWORD kRunTimeoutMs = 180000;

struct Payload {
  std::optional<std::string> exe;
  std::optional<std::string> readme;
};

Payload LoadPayload(const std::wstring& directory) {
  return {ReadBytes(directory + L"\\" + kExe), ReadBytes(directory + L"\\" + kReadme)};
}

std::wstring ProgramsRoot(const Profile& profile) {
  return Join(profile.localAppData(), L"Programs");
}

// Everything the setup program may touch, read back from disk.
struct Snapshot {
  Payload files;
  std::optional<std::string> marker;
  std::vector<std::wstring> targetNames;
  std::vector<std::wstring> startMenuNames;
  std::vector<std::wstring> programsRootNames;
  std::optional<std::wstring> shortcutTarget;  // set when the primary shortcut loads
  bool primaryShortcutExists = false;
  bool targetExists = false;
};

Snapshot Take(const Profile& profile) {
  const std::wstring target = profile.defaultTarget();
  Snapshot snapshot;
  snapshot.files = LoadPayload(target);
  snapshot.marker = ReadBytes(Join(target, kMarker));
  snapshot.targetNames = e2e::ListNames(target);
  snapshot.startMenuNames = e2e::ListNames(profile.programs());
  snapshot.programsRootNames = e2e::ListNames(ProgramsRoot(profile));
  snapshot.primaryShortcutExists = e2e::PathExists(profile.primaryShortcut());
  snapshot.targetExists = e2e::PathExists(target);
  if (const auto link = e2e::ReadLink(profile.primaryShortcut())) {
    snapshot.shortcutTarget = link->target;
  }
  return snapshot;
}

bool Marked(const Snapshot& snapshot) {
  if (!snapshot.marker) return false;
  return snapshot.marker->substr(0, snapshot.marker->find('\n')) == kMarkerLine;
}

bool SamePathIgnoringAsciiCase(const std::wstring& a, const std::wstring& b) {
  const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](wchar_t x, wchar_t y) { return lower(x) == lower(y); });
}

bool HasName(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// One way of running the setup program, with the state it starts from.
struct Scenario {
  const char* name;
  std::wstring program;
  std::vector<std::wstring> arguments;
  std::function<void(const Profile&)> prepare;
  Payload next;  // what the command installs; both empty for a removal
  bool removal = false;
  unsigned interruptions = 0;
};

// Whether the kill landed in the middle of the work rather than during process
// start or after the end: a staged file present, or the read-me new with the
// executable old (README.md is written first); in a removal, an owned file
// deleted while the directory is still marked.
bool CutMidway(const Scenario& scenario, const Snapshot& before, const Snapshot& now) {
  if (scenario.removal) {
    return now.targetExists &&
           (now.files.exe != before.files.exe || now.files.readme != before.files.readme ||
            now.marker != before.marker);
  }
  return HasName(now.targetNames, L"Orvanta.exe.new") ||
         HasName(now.targetNames, L"README.md.new") ||
         (now.files.readme == scenario.next.readme && now.files.exe == before.files.exe);
}

class Checks {
 public:
  explicit Checks(std::string context) : context_(std::move(context)) {}
  void Expect(bool holds, const char* what) {
    if (holds) {
      ++RunTally().passed;
      return;
    }
    ++RunTally().failed;
    ADD_FAILURE() << context_ << ": " << what;
  }

 private:
  std::string context_;
};

// A file is never partly written: absent, as before, or wholly new.
bool Whole(const std::optional<std::string>& now, const std::optional<std::string>& before,
           const std::optional<std::string>& next) {
  return !now || now == before || now == next;
}

bool OnlyNames(const std::vector<std::wstring>& names, const std::vector<std::wstring>& before,
               const std::set<std::wstring>& allowed) {
  return std::all_of(names.begin(), names.end(), [&](const std::wstring& name) {
    return allowed.count(name) > 0 || HasName(before, name);
  });
}

void CheckInvariants(Checks& checks, const Scenario& scenario, const Snapshot& before,
                     const Snapshot& now) {
  checks.Expect(Whole(now.files.exe, before.files.exe, scenario.next.exe),
                "Orvanta.exe is partly written");
  checks.Expect(Whole(now.files.readme, before.files.readme, scenario.next.readme),
                "README.md is partly written");
  const bool payloadComplete = scenario.next.exe && now.files.exe == scenario.next.exe &&
                               now.files.readme == scenario.next.readme;
  checks.Expect(!Marked(now) || Marked(before) || payloadComplete,
                "the directory is marked before its payload is complete");
  const bool payloadLeft = now.files.exe || now.files.readme;
  checks.Expect(!scenario.removal || !payloadLeft || Marked(now),
                "a removal unmarked the directory while payload files remain");
  checks.Expect(OnlyNames(now.targetNames, before.targetNames,
                          {kExe, kReadme, kMarker, L"Orvanta.exe.new", L"README.md.new",
                           L"Orvanta-Native.install.new"}),
                "the target holds a name the setup program does not own");
  checks.Expect(OnlyNames(now.startMenuNames, before.startMenuNames,
                          {L"Orvanta 演示计时器.lnk", L"Orvanta Native.lnk"}),
                "the Start menu holds a name the setup program does not own");
  checks.Expect(OnlyNames(now.programsRootNames, before.programsRootNames, {L"Orvanta"}),
                "the Programs folder holds a name the setup program does not own");
  const bool newShortcut = now.primaryShortcutExists && !before.primaryShortcutExists;
  checks.Expect(!newShortcut || (Marked(now) && payloadComplete),
                "a shortcut was saved before the install was complete");
}

// What the same command must do when run again on what the kill left, by the
// ownership and shortcut rules.
void CheckRerun(Checks& checks, const Scenario& scenario, const Profile& profile,
                const Snapshot& interrupted, const Snapshot& after, DWORD exitCode) {
  const std::wstring exePath = Join(profile.defaultTarget(), kExe);
  if (scenario.removal) {
    if (!Marked(interrupted)) {
      checks.Expect(exitCode == 1, "a removal of an unmarked directory was not refused");
      checks.Expect(!after.files.exe && !after.files.readme && !after.marker,
                    "a refused removal left owned files");
      return;
    }
    checks.Expect(exitCode == 0, "the repeated removal failed");
    checks.Expect(!after.targetExists, "the repeated removal left the target directory");
    checks.Expect(!after.primaryShortcutExists, "the repeated removal left the shortcut");
    return;
  }
  const bool unowned = !Marked(interrupted) &&
                       (interrupted.files.exe || interrupted.files.readme || interrupted.marker);
  const bool foreignShortcut = interrupted.primaryShortcutExists &&
                               !(interrupted.shortcutTarget &&
                                 SamePathIgnoringAsciiCase(*interrupted.shortcutTarget, exePath));
  if (unowned || foreignShortcut) {
    checks.Expect(exitCode == 1, "the repeated install was not refused");
    checks.Expect(after.files.exe == interrupted.files.exe &&
                      after.files.readme == interrupted.files.readme &&
                      after.marker == interrupted.marker,
                  "a refused install changed owned files");
    return;
  }
  checks.Expect(exitCode == 0, "the repeated install failed");
  checks.Expect(after.files.exe == scenario.next.exe && after.files.readme == scenario.next.readme,
                "the repeated install did not leave the whole new payload");
  checks.Expect(after.marker == std::string(kMarkerBytes), "the repeated install left no marker");
  checks.Expect(after.shortcutTarget && *after.shortcutTarget == exePath,
                "the repeated install left no shortcut to the executable");
  checks.Expect(!HasName(after.targetNames, L"Orvanta.exe.new") &&
                    !HasName(after.targetNames, L"README.md.new"),
                "the repeated install left a staged file");
}

// A short description of what the kill left, to show where runs were cut.
std::string Describe(const Scenario& scenario, const Snapshot& before, const Snapshot& now) {
  const auto state = [&](const std::optional<std::string>& file,
                         const std::optional<std::string>& old,
                         const std::optional<std::string>& next) -> std::string {
    if (!file) return "absent";
    if (next && file == next) return "new";
    if (file == old) return "old";
    return "partial";
  };
  std::string text = "Orvanta.exe " + state(now.files.exe, before.files.exe, scenario.next.exe) +
                     ", README.md " +
                     state(now.files.readme, before.files.readme, scenario.next.readme);
  if (HasName(now.targetNames, L"README.md.new")) text += ", README.md.new";
  if (HasName(now.targetNames, L"Orvanta.exe.new")) text += ", Orvanta.exe.new";
  text += Marked(now) ? ", marked" : ", unmarked";
  if (now.primaryShortcutExists) text += ", shortcut";
  if (!now.targetExists) text += ", no directory";
  return text;
}

class Process {
 public:
  Process(const std::wstring& program, const std::vector<std::wstring>& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    for (const auto& argument : arguments) commandLine += L" " + argument;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info_)) {
      info_ = {};
    }
  }
  ~Process() {
    if (info_.hProcess == nullptr) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
      TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, kRunTimeoutMs);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  bool Finished() const { return WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0; }
  // True when the process was still running and has now been killed.
  bool Interrupt() {
    if (Finished() || !TerminateProcess(info_.hProcess, 99)) return false;
    return WaitForSingleObject(info_.hProcess, kRunTimeoutMs) == WAIT_OBJECT_0;
  }
  std::optional<DWORD> Wait() {
    if (WaitForSingleObject(info_.hProcess, kRunTimeoutMs) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
};

double Now() {
  LARGE_INTEGER counter;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Sleeps most of the way and spins the rest, for sub-millisecond spread.
void Delay(double seconds) {
  const double end = Now() + seconds;
  if (seconds > 0.003) Sleep(static_cast<DWORD>((seconds - 0.002) * 1000));
  while (Now() < end) {
  }
}

void ResetProfile(const Profile& profile) {
  e2e::DeleteTree(ProgramsRoot(profile));
  for (const auto& name : e2e::ListNames(profile.programs())) {
    e2e::DeleteTree(Join(profile.programs(), name));
  }
}

// An install as the setup program leaves it, made without running it.
void PlaceInstall(const Profile& profile, const std::wstring& payloadDir) {
  const std::wstring target = profile.defaultTarget();
  e2e::MakeDirectories(target);
  for (const wchar_t* name : {kExe, kReadme}) {
    ASSERT_TRUE(CopyFileW(Join(payloadDir, name).c_str(), Join(target, name).c_str(), FALSE));
  }
  e2e::WriteBytes(Join(target, kMarker), kMarkerBytes);
  e2e::WriteLink(profile.primaryShortcut(), Join(target, kExe));
}

// Returns once the names in the target differ from `names` or the run has ended.
void AwaitFirstChange(const Process& run, const Profile& profile,
                      const std::vector<std::wstring>& names) {
  while (!run.Finished() && e2e::ListNames(profile.defaultTarget()) == names) {
  }
}

struct Timing {
  double span = 0;  // the whole command
  double work = 0;  // from its first change in the target to its end
};

// The longest times of three runs, so that the kills cover all of a run.
Timing MeasureRun(const Profile& profile, const Scenario& scenario) {
  Timing longest;
  for (int i = 0; i < 3; ++i) {
    ResetProfile(profile);
    scenario.prepare(profile);
    const auto names = e2e::ListNames(profile.defaultTarget());
    const double start = Now();
    Process run(scenario.program, scenario.arguments);
    EXPECT_TRUE(run.started());
    AwaitFirstChange(run, profile, names);
    const double changed = Now();
    EXPECT_EQ(run.Wait(), std::optional<DWORD>(0));
    longest.span = std::max(longest.span, Now() - start);
    longest.work = std::max(longest.work, Now() - changed);
  }
  return longest;
}

// Kills the command `wanted` times, or as many times as fit in the run's time
// budget, and requires `midway` of the kills to cut the work itself.
void RunInterruptions(Scenario& scenario, unsigned wanted, unsigned midway) {
  const double start = Now();
  const double deadline = start + TestInputs().budgetSeconds;
  Profile profile;
  const Timing timing = MeasureRun(profile, scenario);
  std::mt19937_64 random(TestInputs().seed ^ std::hash<std::string>{}(scenario.name));
  // Every other kill is timed from the first change in the target, since
  // process start takes most of a run.
  std::uniform_real_distribution<double> delays(0.0, timing.span * 1.05);
  std::uniform_real_distribution<double> workDelays(0.0, timing.work * 1.05);
  std::map<std::string, unsigned> seen;
  unsigned attempts = 0;
  unsigned cut = 0;
  while (scenario.interruptions < wanted && attempts++ < wanted * 6 && Now() < deadline) {
    ResetProfile(profile);
    scenario.prepare(profile);
    const Snapshot before = Take(profile);
    const bool fromChange = attempts % 2 == 0;
    const double delay = fromChange ? workDelays(random) : delays(random);
    Checks checks(std::string(scenario.name) + " killed " +
                  std::to_string(static_cast<int>(delay * 1e6)) + " us after " +
                  (fromChange ? "its first change" : "its start"));
    {
      Process run(scenario.program, scenario.arguments);
      ASSERT_TRUE(run.started());
      if (fromChange) AwaitFirstChange(run, profile, before.targetNames);
      Delay(delay);
      if (!run.Interrupt()) continue;
    }
    ++scenario.interruptions;
    ++RunTally().interruptions;
    const Snapshot interrupted = Take(profile);
    ++seen[Describe(scenario, before, interrupted)];
    if (CutMidway(scenario, before, interrupted)) ++cut;
    CheckInvariants(checks, scenario, before, interrupted);
    Process rerun(scenario.program, scenario.arguments);
    const auto exitCode = rerun.Wait();
    checks.Expect(exitCode.has_value(), "the repeated command did not end");
    const Snapshot after = Take(profile);
    CheckInvariants(checks, scenario, before, after);
    CheckRerun(checks, scenario, profile, interrupted, after, exitCode.value_or(0xDEAD));
  }
  ResetProfile(profile);
  std::printf(
      "%s: %u interruptions over %.0f ms (%.0f ms from the first change), %u of them "
      "midway, in %.0f s of a %.0f s budget; states left by the kills:\n",
      scenario.name, scenario.interruptions, timing.span * 1000, timing.work * 1000, cut,
      Now() - start, TestInputs().budgetSeconds);
  for (const auto& [state, count] : seen) std::printf("  %4u  %s\n", count, state.c_str());
  EXPECT_GE(scenario.interruptions, wanted)
      << scenario.name << ": the time budget ran out after " << scenario.interruptions << " of "
      << wanted << " interruptions";
  EXPECT_GE(cut, midway) << scenario.name << ": only " << cut
                         << " kills cut the work midway; the rest fell before or after it";
}

Payload LargePayload() { return LoadPayload(TestInputs().largePayloadDir); }

void PrepareNothing(const Profile&) {}

void PrepareEarlierVersion(const Profile& profile) {
  PlaceInstall(profile, e2e::TestInputs().payloadDir);
  e2e::WriteBytes(Join(profile.defaultTarget(), L"notes.txt"), "the user's own notes\r\n");
}

void PrepareLargeInstall(const Profile& profile) {
  PlaceInstall(profile, TestInputs().largePayloadDir);
}

TEST(InterruptedRunTest, KilledInstallNeverLeavesPartialFilesOrEarlyMarker) {
  Scenario scenario{
      "install", TestInputs().largeSetupProgram, {L"--quiet"}, PrepareNothing, LargePayload()};
  ASSERT_TRUE(scenario.next.exe && scenario.next.readme);
  RunInterruptions(scenario, 70, 10);
}

TEST(InterruptedRunTest, KilledUpdateKeepsEachFileOldOrWholeNew) {
  Scenario scenario{"update",
                    TestInputs().largeSetupProgram,
                    {L"--quiet"},
                    PrepareEarlierVersion,
                    LargePayload()};
  ASSERT_NE(scenario.next.exe, LoadPayload(e2e::TestInputs().payloadDir).exe);
  RunInterruptions(scenario, 70, 10);
}

TEST(InterruptedRunTest, KilledRemovalKeepsDirectoryMarkedUntilMarkerGoes) {
  Scenario scenario{"removal",
                    TestInputs().largeSetupProgram,
                    {L"--quiet", L"--remove"},
                    PrepareLargeInstall,
                    Payload{},
                    true};
  RunInterruptions(scenario, 62, 10);
}

}  // namespace
}  // namespace orvanta::reliability
