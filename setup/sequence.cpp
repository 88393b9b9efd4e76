#include "setup/sequence.h"

#include <windows.h>
#include <shellapi.h>

#include <exception>
#include <optional>
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
#include "setup/elevation.h"
#include "setup/options.h"
#include "shell/desktop_start.h"
#include "shell/shortcut.h"

namespace orvanta {
namespace {

void StartApplication(const InstallPaths& paths) {
  // Started and left alone: the setup program neither waits nor reports. The
  // shell parses no \\?\ path. An elevated run's token would start it
  // elevated, out of reach of the user's drag and drop.
  const std::wstring program = PlainPath(paths.executable);
  const std::wstring directory = PlainPath(paths.targetDir);
  if (RunsElevated() && StartAsDesktopUser(program, directory)) return;
  ShellExecuteW(nullptr, L"open", program.c_str(), nullptr, directory.c_str(), SW_SHOWNORMAL);
}

InstallPaths PathsFor(std::wstring targetDir) {
  InstallPaths paths;
  paths.marker = AppendPath(targetDir, kMarkerName);
  paths.executable = AppendPath(targetDir, kExecutableName);
  paths.readme = AppendPath(targetDir, kReadmeName);
  paths.targetDir = std::move(targetDir);
  return paths;
}

// Everything after COM start-up that may fail. A declined confirmation ends
// the run with nothing changed and the Start menu not even looked up.
void RunConfirmedSequence(SetupOptions& options) {
  options.targetDir = ResolveInstallLocation();
  ParseCommandLine(options);
  RefuseRunForAnotherUser();
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

// Waits for the other run to end. A run with dialogs brings each open dialog
// of the other run to the front once and waits on while one is open; any
// run gives up after the bound without one, having changed nothing, a quiet
// one unseen. A refused foreground does not matter: the dialog is there to find.
void WaitForOtherRuns(RunLock& lock, SetupOptions& options) {
  const bool quiet = options.quiet || CommandLineAsksForQuiet();
  HWND shown = nullptr;
  for (ULONGLONG seen = GetTickCount64(); !lock.Wait(kRunWaitSliceMs);) {
    const HWND dialog = quiet ? nullptr : FindOtherRunsDialog();
    if (dialog != nullptr && dialog != shown) SetForegroundWindow(shown = dialog);
    const ULONGLONG now = GetTickCount64();
    if (dialog != nullptr) seen = now;
    if (!KeepsWaiting(dialog != nullptr, now - seen)) {
      options.quiet = quiet;
      ThrowSetupError("Another setup run did not end");
    }
  }
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
  options.quiet = SessionShowsNoDialogs();
  // Held until the run ends, its failure dialog included.
  RunLock lock(kRunLockPrefix);
  // Started only once the lock is held (a long wait in a COM apartment that
  // pumps no messages would hold up whoever calls into it), and released
  // only after the last dialog.
  std::optional<ComApartment> com;
  try {
    WaitForOtherRuns(lock, options);
    com.emplace();
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
