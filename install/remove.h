#pragma once

#include "base/run_state.h"

namespace orvanta {

// Removes an owned installation: the executable, the read-me and the marker
// (last, so that a failed removal leaves the directory owned and can be run
// again), the shortcuts that point at the executable, and the directory when
// it is then empty. Raises "Directory was not installed by Orvanta" before
// deleting anything in an unowned directory, and "Cannot remove installed
// file; close Orvanta first" at the first file that cannot be deleted, after
// waiting out a hold on it for about two seconds.
void RunRemove(const InstallPaths& paths, bool owned);

}  // namespace orvanta
