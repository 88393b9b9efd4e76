#include "base/known_folder.h"

#include "base/errors.h"
#include "base/win_handles.h"

namespace orvanta {

std::wstring KnownFolderPath(REFKNOWNFOLDERID folder) {
  wchar_t* path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(folder, KF_FLAG_DEFAULT, nullptr, &path);
  const CoTaskMemPtr<wchar_t> owner(path);
  if (FAILED(result) || path == nullptr) throw SetupError("Cannot locate user folder");
  return std::wstring(path);
}

}  // namespace orvanta
