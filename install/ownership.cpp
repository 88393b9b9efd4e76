#include "install/ownership.h"

#include "base/errors.h"
#include "base/exists.h"

namespace orvanta {

void CheckForUnownedFiles(const InstallPaths& paths, bool owned) {
  if (owned) return;
  for (const std::wstring* path : {&paths.executable, &paths.readme, &paths.marker}) {
    if (Exists(*path)) ThrowSetupError("Target contains unowned files");
  }
}

}  // namespace orvanta
