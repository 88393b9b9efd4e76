#pragma once

#include "base/run_state.h"

namespace orvanta {

// Removes an owned installation: the executable, the read-me, the shortcuts
// that point at the executable (a staged one too), then the marker and the
// directory when it is then empty. The marker goes last, so that a removal
// cut short, or one that could not delete a shortcut of ours, leaves the
// directory owned and can be run again. Each deletion waits out a hold on its
// file for about two seconds. Raises "Directory was not installed by Orvanta"
// before deleting anything in an unowned directory, and "Cannot remove
// installed file; close Orvanta first" at the first installed file that
// cannot be deleted, and when a shortcut of ours stays, or a link stays
// unreadable (the marker then stays too).
void RunRemove(const InstallPaths& paths, bool owned);

}  // namespace orvanta
