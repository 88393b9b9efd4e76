#pragma once

#include "base/run_state.h"

namespace orvanta {

// Refuses an install into a directory that is not owned but already holds one
// of the three file names that the install writes: "Target contains unowned
// files". An owned directory passes untested.
void CheckForUnownedFiles(const InstallPaths& paths, bool owned);

}  // namespace orvanta
