#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "e2e/scenario.h"

// What the interruption and power-cut checks share: the state that a cut run
// left in a profile, the invariants every such state keeps, and what the same
// command must do when it is run again on it.
namespace orvanta::reliability {

using e2e::Profile;

inline constexpr wchar_t kStagedShortcut[] = L"Orvanta 演示计时器.lnk.new";
// A bound for a hang only: a run takes about a second, far longer on a busy machine.
inline constexpr DWORD kRunTimeoutMs = 180000;

struct Payload {
  std::optional<std::string> exe;
  std::optional<std::string> readme;
};
Payload LoadPayload(const std::wstring& directory);

// Local AppData\Programs, the folder that the default target lives in.
std::wstring ProgramsRoot(const Profile& profile);

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
Snapshot Take(const Profile& profile);
bool HasName(const std::vector<std::wstring>& names, const std::wstring& name);

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

// Counts every invariant check in the run's tally and fails the test with
// the context on a broken one.
class Checks {
 public:
  explicit Checks(std::string context) : context_(std::move(context)) {}
  void Expect(bool holds, const char* what);

 private:
  std::string context_;
};

// What holds in any state a cut can leave: no owned file or shortcut partly
// written, no marker before the whole payload, no unmarked directory while a
// removal has left something of ours, no name that is not ours.
void CheckInvariants(Checks& checks, const Scenario& scenario, const Snapshot& before,
                     const Snapshot& now);
// Runs the same command on what a cut left and checks the invariants and the
// outcome.
void RunAgain(Checks& checks, const Scenario& scenario, const Profile& profile,
              const Snapshot& before, const Snapshot& interrupted);
// Whether the state holds the whole new installation with its shortcut.
bool InstallComplete(const Scenario& scenario, const Profile& profile, const Snapshot& now);
// A short description of a state, to show where runs were cut.
std::string Describe(const Scenario& scenario, const Snapshot& before, const Snapshot& now);

// The setup program as a process of its own; killed if still running when the
// object goes.
class Process {
 public:
  Process(const std::wstring& program, const std::vector<std::wstring>& arguments);
  ~Process();
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool started() const { return info_.hProcess != nullptr; }
  bool Finished() const;
  // True when the process was still running and has now been killed.
  bool Interrupt();
  // The exit code; empty, with the test failed and the reason given, when
  // the program could not be started or did not end in time.
  std::optional<DWORD> Wait();

 private:
  std::wstring commandLine_;
  PROCESS_INFORMATION info_{};
};

// Empties the Programs folder and the Start menu of the profile.
void ResetProfile(const Profile& profile);
// An install as the setup program leaves it, made without running it; the
// shortcut at `shortcut` (the primary one when empty).
void PlaceInstall(const Profile& profile, const std::wstring& payloadDir,
                  const std::wstring& shortcut = L"");

}  // namespace orvanta::reliability
