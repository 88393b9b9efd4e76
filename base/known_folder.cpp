#include "base/known_folder.h"

#include "base/errors.h"
#include "base/win_handles.h"

namespace orvanta {

CoTaskMemPtr<wchar_t> FindKnownFolder(REFKNOWNFOLDERID folder) noexcept {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(folder, KF_FLAG_DEFAULT, nullptr, &path);
  // The caller frees what the shell gave, whether it succeeded or not.
  CoTaskMemPtr<wchar_t> owner(path);
  if (FAILED(result)) owner.reset();
  return owner;
}

std::wstring KnownFolderPath(REFKNOWNFOLDERID folder) {
  const CoTaskMemPtr<wchar_t> path = FindKnownFolder(folder);
  if (!path) ThrowSetupError("Cannot locate user folder");
  return std::wstring(path.get());
}

}  // namespace orvanta
