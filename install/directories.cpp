#include "install/directories.h"

#include <windows.h>

#include "base/descriptors.h"
#include "base/errors.h"
#include "base/exists.h"
#include "base/known_folder.h"
#include "base/path.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

// \\server\share\...: a root name of two separators and a server's name,
// not a device prefix.
bool OnServer(std::wstring_view path) noexcept {
  return RootNameLength(path) > 2 && IsSeparator(path[1]) && path[2] != L'?' && path[2] != L'.';
}

// FOLDERID_Profile of knownfolders.h, spelled out as in install/location.cpp.
constexpr KNOWNFOLDERID kProfile = {
    0x5E6C858F, 0x0E22, 0x4760, {0x9A, 0xFE, 0xEA, 0x33, 0x17, 0xB6, 0x71, 0x73}};

bool OnMappedNetworkDrive(const std::wstring& path) noexcept {
  if (RootNameLength(path) != 2) return false;
  const wchar_t root[] = {path[0], L':', L'\\', L'\0'};
  return GetDriveTypeW(root) == DRIVE_REMOTE;
}

}  // namespace

bool ProtectsNewFolders(std::wstring_view directory, std::wstring_view profile,
                        bool remoteDrive) noexcept {
  if (remoteDrive || OnServer(directory)) return false;
  if (profile.empty() || directory.size() < profile.size() ||
      !EqualIgnoringAsciiCase(directory.substr(0, profile.size()), profile)) {
    return true;
  }
  return directory.size() != profile.size() && !IsSeparator(directory[profile.size()]) &&
         !IsSeparator(profile.back());
}

void CreateDirectoryChain(const std::wstring& directory) {
  const std::wstring path = ExtendedLengthPath(directory);
  // Shallowest first, one name at a time below the deepest existing directory.
  std::size_t end = SkipSeparators(path, DeepestExistingDirectory(path).size());
  if (end == path.size()) return;
  const std::wstring plain = PlainPath(path);
  LocalPtr<void> descriptor;
  // Without a profile folder to compare with, the folders are protected.
  const CoTaskMemPtr<wchar_t> profile = FindKnownFolder(kProfile);
  if (ProtectsNewFolders(plain, profile ? profile.get() : L"", OnMappedNetworkDrive(plain))) {
    const LocalPtr<wchar_t> sid = ProcessUserSid();
    if (sid) descriptor = InstallFolderDescriptor(sid.get());
    if (!descriptor) throw FilesystemError("create_directories", GetLastError(), directory);
  }
  // A file system without security (FAT) ignores the descriptor; none inherits.
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  for (; end < path.size(); end = SkipSeparators(path, end)) {
    end = NameEnd(path, end);
    const std::wstring step = path.substr(0, end);
    if (CreateDirectoryW(step.c_str(), descriptor ? &attributes : nullptr)) continue;
    const DWORD code = GetLastError();
    // Another process may have made it in between.
    if (!IsDirectory(step)) throw FilesystemError("create_directories", code, directory);
  }
}

}  // namespace orvanta
