#pragma once

#include "base/run_state.h"

namespace orvanta {

// The whole run from the install location to the last dialog, one run of the
// user's at a time: it first waits for any other to end (a run with dialogs
// bringing the other's open dialog to the front, a quiet run only for a
// bounded time, then failing unseen), and only then initialises COM.
// Returns the exit code: 0 after a completed install or removal and after a
// declined confirmation, 1 after any failure, which it shows unless "--quiet"
// had been read by then.
int RunSetup();

// Installs into the target: refusals first, then the directory, the payload,
// the marker (last of the files, so a failed install never marks a
// directory), the shortcut, the shell notifications and the completion dialog.
void RunInstall(const InstallPaths& paths, const SetupOptions& options, bool owned);

}  // namespace orvanta
