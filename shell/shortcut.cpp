#include "shell/shortcut.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <optional>
#include <vector>

#include "base/durable_file.h"
#include "base/errors.h"
#include "base/exists.h"
#include "base/held_file.h"
#include "base/known_folder.h"
#include "base/path.h"
#include "base/win_handles.h"

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

// A link is a few kilobytes: of a file far larger, the part read is no link.
constexpr DWORD kLargestLink = 1 << 20;

// The bytes of the file at the path, a scanner's hold on it waited out as on
// the payload; nothing when it stays unopenable or cannot be read.
std::optional<std::vector<char>> ReadLinkFile(const std::wstring& shortcut) {
  const std::wstring file = ExtendedLengthPath(shortcut);
  HANDLE opened = INVALID_HANDLE_VALUE;
  RetryWhileHeld(HoldDeadline(), file, [&] {
    opened = CreateFileW(file.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return opened != INVALID_HANDLE_VALUE;
  });
  const FileHandle handle(opened);
  std::vector<char> bytes(kLargestLink);
  DWORD read = 0;
  if (!handle.valid() || !ReadFile(handle.get(), bytes.data(), kLargestLink, &read, nullptr)) {
    return std::nullopt;
  }
  bytes.erase(bytes.begin() + read, bytes.end());
  return bytes;
}

// A shell link loaded from the bytes; null when they do not load as one.
ComPtr<IShellLinkW> LoadedLink(const std::vector<char>& bytes) {
  ComPtr<IShellLinkW> link = NewShellLink();
  ComPtr<IPersistStream> persist;
  ComPtr<IStream> stream;
  const bool loaded =
      link && SUCCEEDED(link.As(&persist)) &&
      SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
      SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr)) &&
      SUCCEEDED(stream->Seek({}, STREAM_SEEK_SET, nullptr)) &&
      SUCCEEDED(persist->Load(stream.Get()));
  return loaded ? link : nullptr;
}

// The target path that the link gives back, unexpanded; empty when the bytes
// do not load as a link or it gives none. Windows rebuilds it from the link's
// item list, in long names as they stand on disk; Wine gives the stored text.
std::wstring LinkTargetPath(const std::vector<char>& bytes) {
  const ComPtr<IShellLinkW> link = LoadedLink(bytes);
  std::vector<wchar_t> buffer(kStoredPathCapacity, L'\0');
  if (!link || FAILED(link->GetPath(buffer.data(), kStoredPathCapacity, nullptr, SLGP_RAWPATH))) {
    return {};
  }
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
  if (!link) ThrowSetupError("Cannot create shortcut");
  const std::wstring plain = PlainPath(executable);
  if (FAILED(link->SetPath(plain.c_str()))) ThrowSetupError(kSaveFailure);
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
    ThrowSetupError(kSaveFailure);
  }
  std::vector<char> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
  ULONG read = 0;
  if (FAILED(stream->Seek({}, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read)) ||
      read != bytes.size()) {
    ThrowSetupError(kSaveFailure);
  }
  return bytes;
}

// Whether the bytes load back as a link with the working directory it was given.
bool LoadsBack(const std::vector<char>& bytes, const std::wstring& workingDirectory) {
  const ComPtr<IShellLinkW> link = LoadedLink(bytes);
  std::vector<wchar_t> stored(kStoredPathCapacity, L'\0');
  return link && SUCCEEDED(link->GetWorkingDirectory(stored.data(), kStoredPathCapacity)) &&
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

std::optional<bool> ShortcutOwnership(const std::wstring& shortcut,
                                      const std::wstring& executable) {
  if (!Exists(shortcut) || IsDirectory(shortcut)) return false;
  const std::optional<std::vector<char>> bytes = ReadLinkFile(shortcut);
  if (!bytes) return std::nullopt;
  const std::wstring target = LinkTargetPath(*bytes);
  // Compared in the form the link is given; an earlier version stored the
  // \\?\ form as it came. Only A to Z fold: a letter beyond them in another
  // case makes another path, whatever the file system would open.
  return !target.empty() && EqualIgnoringAsciiCase(LexicallyNormal(PlainPath(target)),
                                                   LexicallyNormal(PlainPath(executable)));
}

bool ShortcutPointsAt(const std::wstring& shortcut, const std::wstring& executable) {
  return ShortcutOwnership(shortcut, executable).value_or(false);
}

void CreateShortcut(const std::wstring& executable, const std::wstring& shortcut) {
  // A link stores at most MAX_PATH - 1 characters of plain target: a longer one
  // could never be read back and recognised as ours, and would block every
  // later install as another program's shortcut.
  if (PlainPath(executable).size() >= MAX_PATH) ThrowSetupError(kSaveFailure);
  // A file save writes the link in place, in pieces and unflushed, so a cut
  // could leave a broken link that blocks every later install. The bytes go
  // the payload's way instead: staged, flushed, renamed over the old link.
  const std::vector<char> bytes = LinkBytes(executable, shortcut);
  ReplaceFileContents(shortcut, bytes.data(), static_cast<unsigned long>(bytes.size()),
                      {kSaveFailure, kSaveFailure});
}

void CheckShortcutConflict(const InstallPaths& paths) {
  if (Exists(paths.primaryShortcut) && !ShortcutPointsAt(paths.primaryShortcut, paths.executable)) {
    ThrowSetupError("The Orvanta shortcut belongs to another program");
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
  // The shell parses no \\?\ path.
  SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, PlainPath(path).c_str(), nullptr);
}

}  // namespace orvanta
