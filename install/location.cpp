#include "install/location.h"

#include "base/known_folder.h"
#include "base/path.h"
#include "install/marker.h"

namespace orvanta {

std::wstring ResolveInstallLocation() {
  const std::wstring programs = AppendPath(KnownFolderPath(FOLDERID_LocalAppData), L"Programs");
  std::wstring legacy = AppendPath(programs, L"Orvanta-Native");
  if (IsOwnedDirectory(legacy)) return legacy;
  return AppendPath(programs, L"Orvanta");
}

}  // namespace orvanta
