#include "install/location.h"

#include "base/known_folder.h"
#include "base/path.h"
#include "install/marker.h"

namespace orvanta {
namespace {

// FOLDERID_LocalAppData of knownfolders.h, spelled out: mingw-w64's libuuid
// holds it in one block with a hundred other identifiers, which the linker
// keeps whole (1.7 KB).
constexpr KNOWNFOLDERID kLocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

}  // namespace

std::wstring ResolveInstallLocation() {
  const std::wstring programs = AppendPath(KnownFolderPath(kLocalAppData), L"Programs");
  std::wstring legacy = AppendPath(programs, L"Orvanta-Native");
  if (IsOwnedDirectory(legacy)) return legacy;
  return AppendPath(programs, L"Orvanta");
}

}  // namespace orvanta
