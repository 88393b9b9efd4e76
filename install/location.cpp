#include "install/location.h"

#include "base/errors.h"
#include "base/path.h"
#include "base/win_handles.h"
#include "install/marker.h"

namespace orvanta {

std::wstring KnownFolderPath(REFKNOWNFOLDERID folder) {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(folder, KF_FLAG_DEFAULT, nullptr, &path);
  const CoTaskMemPtr<wchar_t> owner(path);
  if (FAILED(result) || path == nullptr) throw SetupError("Cannot locate user folder");
  return std::wstring(path);
}

std::wstring ResolveInstallLocation() {
  const std::wstring programs = AppendPath(KnownFolderPath(FOLDERID_LocalAppData), L"Programs");
  std::wstring legacy = AppendPath(programs, L"Orvanta-Native");
  if (IsOwnedDirectory(legacy)) return legacy;
  return AppendPath(programs, L"Orvanta");
}

}  // namespace orvanta
