#include "setup/sequence.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <utility>

#include "base/errors.h"
#include "base/path.h"
#include "base/run_lock.h"
#include "base/win_handles.h"
#include "install/deploy.h"
#include "install/directories.h"
#include "install/location.h"
#include "install/marker.h"
#include "install/ownership.h"
#include "install/remove.h"
#include "setup/dialogs.h"
#include "setup/options.h"
#include "shell/shortcut.h"

namespace orvanta {
namespace {

void StartApplication(const InstallPaths& paths) {
  // Started and left alone: the setup program neither waits nor reports. The
  // shell parses no \\?\ path.
  ShellExecuteW(nullptr, L"open", PlainPath(paths.executable).c_str(), nullptr,
                PlainPath(paths.targetDir).c_str(), SW_SHOWNORMAL);
}

InstallPaths PathsFor(const std::wstring& targetDir) {
  InstallPaths paths;
  paths.targetDir = targetDir;
  paths.marker = AppendPath(targetDir, kMarkerName);
  paths.executable = AppendPath(targetDir, kExecutableName);
  paths.readme = AppendPath(targetDir, kReadmeName);
  return paths;
}

// Everything after COM start-up that may fail. A declined confirmation ends
// the run with nothing changed and the Start menu not even looked up.
void RunConfirmedSequence(SetupOptions& options) {
  options.targetDir = ResolveInstallLocation();
  ParseCommandLine(options);
  InstallPaths paths = PathsFor(NormaliseTarget(options.targetDir));
  // Decided once, before the dialog: both sequences act on this answer.
  const bool owned = IsOwnedDirectory(paths.targetDir);
  if (!options.quiet && !ConfirmWithUser(options.remove, paths.targetDir)) return;

  ShortcutPaths shortcuts = StartMenuShortcutPaths();
  paths.primaryShortcut = std::move(shortcuts.primary);
  paths.legacyShortcut = std::move(shortcuts.legacy);
  if (options.remove) {
    RunRemove(paths, owned);
  } else {
    RunInstall(paths, options, owned);
  }
}

// How long a run without dialogs waits behind another run: a large payload
// on a slow disk takes minutes, and a script must not hang for good behind a
// dialog that nobody answers.
constexpr DWORD kQuietRunWaitMs = 5 * 60 * 1000;

// A run with dialogs waits as long as the other run takes, and first brings
// that run's open dialog to the front, so that the user sees why nothing else
// shows. A quiet one gives up after its bound, unseen and having changed
// nothing.
void WaitForOtherRuns(RunLock& lock, SetupOptions& options) {
  const bool quiet = CommandLineAsksForQuiet();
  if (lock.Wait(0)) return;
  if (!quiet) BringOpenDialogToFront();
  if (lock.Wait(quiet ? kQuietRunWaitMs : INFINITE)) return;
  options.quiet = true;
  throw SetupError("Another setup run did not end");
}

}  // namespace

void RunInstall(const InstallPaths& paths, const SetupOptions& options, bool owned) {
  CheckForUnownedFiles(paths, owned);
  if (!options.noShortcut) CheckShortcutConflict(paths);
  CreateDirectoryChain(paths.targetDir);
  DeployResource(kReadmeResource, paths.readme);
  DeployResource(kApplicationResource, paths.executable);
  WriteMarker(paths.targetDir);
  if (!options.noShortcut) PlaceShortcut(paths);

  NotifyShellOfUpdate(paths.executable);
  if (!options.noShortcut) NotifyShellOfUpdate(paths.primaryShortcut);
  if (!options.quiet && AskToStartApplication()) StartApplication(paths);
}

int RunSetup() {
  SetupOptions options;
  // Held until the run ends, its failure dialog included.
  RunLock lock(kRunLockPrefix);
  try {
    WaitForOtherRuns(lock, options);
    // Only once the lock is held: a long wait in a COM apartment that pumps
    // no messages would hold up whoever calls into it.
    const ComApartment com;
    RunConfirmedSequence(options);
    return 0;
  } catch (const std::exception& error) {
    if (!options.quiet) ShowFailure(error.what());
  } catch (...) {
    if (!options.quiet) ShowFailure("unknown error");
  }
  return 1;
}

}  // namespace orvanta
