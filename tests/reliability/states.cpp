#include "reliability/states.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "reliability/outcome.h"
#include "reliability/reliability.h"

namespace orvanta::reliability {
namespace {

using e2e::Join;
using e2e::kMarker;
using e2e::kMarkerBytes;
using e2e::kReadme;
using e2e::ReadBytes;

constexpr const wchar_t* kExe = e2e::kExecutable;
constexpr char kMarkerLine[] = "Orvanta-Native installer v1";

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

bool ShortcutIsOurs(const Profile& profile, const Snapshot& snapshot) {
  return snapshot.shortcutTarget &&
         Lower(*snapshot.shortcutTarget) == Lower(Join(profile.defaultTarget(), kExe));
}

bool Marked(const Snapshot& snapshot) {
  if (!snapshot.marker) return false;
  return snapshot.marker->substr(0, snapshot.marker->find('\n')) == kMarkerLine;
}

void CheckRemovalRerun(Checks& checks, const Snapshot& interrupted, const Snapshot& after,
                       DWORD exitCode) {
  if (!Marked(interrupted)) {
    checks.Expect(exitCode == 1, "a removal of an unmarked directory was not refused");
    checks.Expect(!after.files.exe && !after.files.readme && !after.marker,
                  "a refused removal left owned files");
    return;
  }
  checks.Expect(exitCode == 0, "the repeated removal failed");
  checks.Expect(!after.targetExists, "the repeated removal left the target directory");
  checks.Expect(!after.primaryShortcutExists && !HasName(after.startMenuNames, kStagedShortcut),
                "the repeated removal left a shortcut");
}

// What the same command must do when run again on what the cut left: finish
// the job, or refuse where the ownership rules say and change nothing.
void CheckRerun(Checks& checks, const Scenario& scenario, const Profile& profile,
                const Snapshot& interrupted, const Snapshot& after, DWORD exitCode) {
  if (scenario.removal) return CheckRemovalRerun(checks, interrupted, after, exitCode);
  // The one refusal the ownership rules prescribe: owned names in a directory
  // that the cut left unmarked. A link that the run itself broke is no reason.
  const bool unowned = !Marked(interrupted) &&
                       (interrupted.files.exe || interrupted.files.readme || interrupted.marker);
  if (unowned) {
    checks.Expect(exitCode == 1, "the repeated install was not refused");
    checks.Expect(after.files.exe == interrupted.files.exe &&
                      after.files.readme == interrupted.files.readme &&
                      after.marker == interrupted.marker,
                  "a refused install changed owned files");
    return;
  }
  checks.Expect(exitCode == 0, "the repeated install failed");
  checks.Expect(InstallComplete(scenario, profile, after),
                "the repeated install did not leave the whole installation with its shortcut");
  checks.Expect(!HasName(after.targetNames, L"Orvanta.exe.new") &&
                    !HasName(after.targetNames, L"README.md.new") &&
                    !HasName(after.startMenuNames, kStagedShortcut),
                "the repeated install left a staged file");
}

}  // namespace

Payload LoadPayload(const std::wstring& directory) {
  return {ReadBytes(Join(directory, kExe)), ReadBytes(Join(directory, kReadme))};
}

std::wstring ProgramsRoot(const Profile& profile) {
  return Join(profile.localAppData(), L"Programs");
}

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

bool HasName(const std::vector<std::wstring>& names, const std::wstring& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void Checks::Expect(bool holds, const char* what) {
  if (holds) {
    ++RunTally().passed;
    return;
  }
  ++RunTally().failed;
  ADD_FAILURE() << context_ << ": " << what;
}

void CheckInvariants(Checks& checks, const Scenario& scenario, const Snapshot& before,
                     const Snapshot& now) {
  checks.Expect(Whole(now.files.exe, before.files.exe, scenario.next.exe),
                "Orvanta.exe is partly written");
  checks.Expect(Whole(now.files.readme, before.files.readme, scenario.next.readme),
                "README.md is partly written");
  checks.Expect(Whole(now.marker, before.marker, std::string(kMarkerBytes)),
                "the marker is partly written");
  checks.Expect(!now.primaryShortcutExists || now.shortcutTarget, "the shortcut is partly written");
  const bool payloadComplete = scenario.next.exe && now.files.exe == scenario.next.exe &&
                               now.files.readme == scenario.next.readme;
  checks.Expect(!Marked(now) || Marked(before) || payloadComplete,
                "the directory is marked before its payload is complete");
  const bool oursLeft = now.files.exe || now.files.readme || now.primaryShortcutExists;
  checks.Expect(!scenario.removal || !oursLeft || Marked(now),
                "a removal unmarked the directory while payload files or its shortcut remain");
  checks.Expect(OnlyNames(now.targetNames, before.targetNames,
                          {kExe, kReadme, kMarker, L"Orvanta.exe.new", L"README.md.new",
                           L"Orvanta-Native.install.new"}),
                "the target holds a name the setup program does not own");
  checks.Expect(OnlyNames(now.startMenuNames, before.startMenuNames,
                          {L"Orvanta 演示计时器.lnk", L"Orvanta Native.lnk", kStagedShortcut}),
                "the Start menu holds a name the setup program does not own");
  checks.Expect(OnlyNames(now.programsRootNames, before.programsRootNames, {L"Orvanta"}),
                "the Programs folder holds a name the setup program does not own");
  const bool newShortcut = now.primaryShortcutExists && !before.primaryShortcutExists;
  checks.Expect(!newShortcut || (Marked(now) && payloadComplete),
                "a shortcut was saved before the install was complete");
}

bool InstallComplete(const Scenario& scenario, const Profile& profile, const Snapshot& now) {
  return now.files.exe == scenario.next.exe && now.files.readme == scenario.next.readme &&
         now.marker == std::string(kMarkerBytes) && ShortcutIsOurs(profile, now);
}

void RunAgain(Checks& checks, const Scenario& scenario, const Profile& profile,
              const Snapshot& before, const Snapshot& interrupted) {
  Process rerun(scenario.program, scenario.arguments);
  const auto exitCode = rerun.Wait();
  checks.Expect(exitCode.has_value(),
                "the repeated command did not start or did not end (why is above)");
  const Snapshot after = Take(profile);
  CheckInvariants(checks, scenario, before, after);
  CheckRerun(checks, scenario, profile, interrupted, after, exitCode.value_or(0xDEAD));
}

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
  if (now.primaryShortcutExists) text += now.shortcutTarget ? ", shortcut" : ", broken shortcut";
  if (HasName(now.startMenuNames, kStagedShortcut)) text += ", staged shortcut";
  if (!now.targetExists) text += ", no directory";
  return text;
}

Process::Process(const std::wstring& program, const std::vector<std::wstring>& arguments)
    : commandLine_(L"\"" + program + L"\"") {
  for (const auto& argument : arguments) commandLine_ += L" " + argument;
  info_ = e2e::StartProgram(program, commandLine_);
}

Process::~Process() {
  if (info_.hProcess == nullptr) return;
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
  WaitForSingleObject(info_.hProcess, kRunTimeoutMs);
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

bool Process::Finished() const {
  return info_.hProcess == nullptr || WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0;
}

bool Process::Interrupt() {
  if (Finished() || !TerminateProcess(info_.hProcess, 99)) return false;
  return e2e::AwaitExit(info_, commandLine_, kRunTimeoutMs).has_value();
}

std::optional<DWORD> Process::Wait() { return e2e::AwaitExit(info_, commandLine_, kRunTimeoutMs); }

void ResetProfile(const Profile& profile) {
  e2e::DeleteTree(ProgramsRoot(profile));
  for (const auto& name : e2e::ListNames(profile.programs())) {
    e2e::DeleteTree(Join(profile.programs(), name));
  }
}

void PlaceInstall(const Profile& profile, const std::wstring& payloadDir,
                  const std::wstring& shortcut) {
  const std::wstring target = profile.defaultTarget();
  e2e::MakeDirectories(target);
  for (const wchar_t* name : {kExe, kReadme}) {
    ASSERT_TRUE(CopyFileW(Join(payloadDir, name).c_str(), Join(target, name).c_str(), FALSE));
  }
  e2e::WriteBytes(Join(target, kMarker), kMarkerBytes);
  e2e::WriteLink(shortcut.empty() ? profile.primaryShortcut() : shortcut, Join(target, kExe));
}

}  // namespace orvanta::reliability
