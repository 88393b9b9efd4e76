#include "shell/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "base/errors.h"
#include "base/exists.h"
#include "base/path.h"
#include "base/known_folder.h"

using Microsoft::WRL::ComPtr;

namespace orvanta {
namespace {

// The longest path the system accepts, so no stored path is cut short.
constexpr int kStoredPathCapacity = 32768;

// FOLDERID_Programs of knownfolders.h and PKEY_AppUserModel_ID of propkey.h,
// spelled out as in install/location.cpp.
constexpr KNOWNFOLDERID kProgramsFolder = {
    0xA77F5D77, 0x2E2B, 0x44C3, {0xA6, 0xA2, 0xAB, 0xA6, 0x01, 0x05, 0x4A, 0x51}};
constexpr PROPERTYKEY kAppUserModelIdKey = {
    {0x9F4C2855, 0x9F79, 0x4B39, {0xA8, 0xD0, 0xE1, 0xD4, 0x2D, 0xE1, 0xD5, 0xF3}}, 5};

ComPtr<IShellLinkW> NewShellLink() {
  ComPtr<IShellLinkW> link;
  if (FAILED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
    return nullptr;
  }
  return link;
}

// The target path stored in the link at the path, unexpanded; empty when it
// does not load as a link or stores none.
std::wstring StoredTargetPath(const std::wstring& shortcut) {
  const ComPtr<IShellLinkW> link = NewShellLink();
  if (!link) return {};
  ComPtr<IPersistFile> file;
  if (FAILED(link.As(&file)) || FAILED(file->Load(shortcut.c_str(), STGM_READ))) return {};
  std::vector<wchar_t> buffer(kStoredPathCapacity, L'\0');
  if (FAILED(link->GetPath(buffer.data(), kStoredPathCapacity, nullptr, SLGP_RAWPATH))) return {};
  return std::wstring(buffer.data());
}

// Sets the AppUserModelID; every failure here leaves the link without it.
void SetAppUserModelId(IShellLinkW* link) {
  ComPtr<IPropertyStore> store;
  if (FAILED(link->QueryInterface(IID_PPV_ARGS(&store)))) return;
  constexpr std::size_t kBytes = sizeof(kAppUserModelId);
  auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(kBytes));
  if (text == nullptr) return;
  std::memcpy(text, kAppUserModelId, kBytes);
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_LPWSTR;
  value.pwszVal = text;  // Owned by the value from here on; freed by the clear.
  store->SetValue(kAppUserModelIdKey, value);
  store->Commit();
  PropVariantClear(&value);
}

}  // namespace

ShortcutPaths ShortcutPathsIn(std::wstring_view programsFolder) {
  return {AppendPath(programsFolder, kShortcutName),
          AppendPath(programsFolder, kLegacyShortcutName)};
}

ShortcutPaths StartMenuShortcutPaths() { return ShortcutPathsIn(KnownFolderPath(kProgramsFolder)); }

bool ShortcutPointsAt(const std::wstring& shortcut, const std::wstring& executable) {
  if (!Exists(shortcut)) return false;
  const std::wstring stored = StoredTargetPath(shortcut);
  return !stored.empty() && SamePathText(stored, executable);
}

void CreateShortcut(const std::wstring& executable, const std::wstring& shortcut) {
  // A link stores at most MAX_PATH - 1 characters of target: a longer one
  // could never be read back and recognised as ours, and would block every
  // later install as another program's shortcut.
  if (executable.size() >= MAX_PATH) throw SetupError("Cannot save shortcut");
  const ComPtr<IShellLinkW> link = NewShellLink();
  if (!link) throw SetupError("Cannot create shortcut");
  link->SetPath(executable.c_str());
  link->SetWorkingDirectory(ParentPath(executable).c_str());
  link->SetIconLocation(executable.c_str(), 0);
  link->SetDescription(kShortcutDescription);
  SetAppUserModelId(link.Get());

  ComPtr<IPersistFile> file;
  if (FAILED(link.As(&file)) || FAILED(file->Save(shortcut.c_str(), TRUE))) {
    throw SetupError("Cannot save shortcut");
  }
}

void CheckShortcutConflict(const InstallPaths& paths) {
  if (Exists(paths.primaryShortcut) && !ShortcutPointsAt(paths.primaryShortcut, paths.executable)) {
    throw SetupError("The Orvanta shortcut belongs to another program");
  }
}

void PlaceShortcut(const InstallPaths& paths) {
  CreateShortcut(paths.executable, paths.primaryShortcut);
  // Looked at only once the new shortcut is saved, so the Start menu is never left empty.
  if (ShortcutPointsAt(paths.legacyShortcut, paths.executable)) {
    DeleteFileW(ExtendedLengthPath(paths.legacyShortcut).c_str());
  }
}

void NotifyShellOfUpdate(const std::wstring& path) {
  SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, path.c_str(), nullptr);
}

}  // namespace orvanta
