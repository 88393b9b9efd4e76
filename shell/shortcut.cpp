#include "shell/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <vector>

#include "base/durable_file.h"
#include "base/errors.h"
#include "base/exists.h"
#include "base/known_folder.h"
#include "base/path.h"

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

constexpr char kSaveFailure[] = "Cannot save shortcut";

// A link to the executable with every field of ours set. The shell parses no
// \\?\ path into an item list, so each path goes in its plain form; a target
// the link cannot take would leave a link that points nowhere.
ComPtr<IShellLinkW> LinkTo(const std::wstring& executable) {
  const ComPtr<IShellLinkW> link = NewShellLink();
  if (!link) throw SetupError("Cannot create shortcut");
  const std::wstring plain = PlainPath(executable);
  if (FAILED(link->SetPath(plain.c_str()))) throw SetupError(kSaveFailure);
  link->SetWorkingDirectory(ParentPath(plain).c_str());
  link->SetIconLocation(plain.c_str(), 0);
  link->SetDescription(kShortcutDescription);
  SetAppUserModelId(link.Get());
  return link;
}

// The link's bytes as a stream save writes them.
std::vector<char> SerializedLink(IShellLinkW* link) {
  ComPtr<IPersistStream> persist;
  ComPtr<IStream> stream;
  STATSTG stat{};
  if (FAILED(link->QueryInterface(IID_PPV_ARGS(&persist))) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
      FAILED(persist->Save(stream.Get(), TRUE)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME)) ||
      stat.cbSize.QuadPart > MAXDWORD) {
    throw SetupError(kSaveFailure);
  }
  std::vector<char> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
  ULONG read = 0;
  if (FAILED(stream->Seek({}, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)) ||
      read != bytes.size()) {
    throw SetupError(kSaveFailure);
  }
  return bytes;
}

// Whether the bytes load back as a link with the working directory it was given.
bool LoadsBack(const std::vector<char>& bytes, const std::wstring& workingDirectory) {
  const ComPtr<IShellLinkW> link = NewShellLink();
  ComPtr<IPersistStream> persist;
  ComPtr<IStream> stream;
  std::vector<wchar_t> stored(kStoredPathCapacity, L'\0');
  return link && SUCCEEDED(link.As(&persist)) &&
         SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
         SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr)) &&
         SUCCEEDED(stream->Seek({}, STREAM_SEEK_SET, nullptr)) &&
         SUCCEEDED(persist->Load(stream.Get())) &&
         SUCCEEDED(link->GetWorkingDirectory(stored.data(), kStoredPathCapacity)) &&
         workingDirectory == stored.data();
}

// A file save records the target relative to the link's own place, which a
// stream cannot know, so the place is given first. The relative path is
// optional: when the shell refuses it, or writes it without marking it in the
// header (which shifts every later field), the bytes are made without it.
std::vector<char> LinkBytes(const std::wstring& executable, const std::wstring& shortcut) {
  const ComPtr<IShellLinkW> link = LinkTo(executable);
  if (SUCCEEDED(link->SetRelativePath(PlainPath(shortcut).c_str(), 0))) {
    std::vector<char> bytes = SerializedLink(link.Get());
    if (LoadsBack(bytes, ParentPath(PlainPath(executable)))) return bytes;
  }
  return SerializedLink(LinkTo(executable).Get());
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
  // Compared in the form the link is given; an earlier version stored the
  // \\?\ form as it came.
  return !stored.empty() && SamePathText(PlainPath(stored), PlainPath(executable));
}

void CreateShortcut(const std::wstring& executable, const std::wstring& shortcut) {
  // A link stores at most MAX_PATH - 1 characters of target: a longer one
  // could never be read back and recognised as ours, and would block every
  // later install as another program's shortcut.
  if (executable.size() >= MAX_PATH) throw SetupError(kSaveFailure);
  // A file save writes the link in place, in pieces and unflushed, so a cut
  // could leave a broken link that blocks every later install. The bytes go
  // the payload's way instead: staged, flushed, renamed over the old link.
  const std::vector<char> bytes = LinkBytes(executable, shortcut);
  ReplaceFileContents(shortcut, bytes.data(), static_cast<unsigned long>(bytes.size()),
                      {kSaveFailure, kSaveFailure});
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
