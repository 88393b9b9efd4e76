#include "base/exists.h"

#include <windows.h>

#include "base/errors.h"
#include "base/path.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

// Opens the final target of a reparse point, which the attribute query does not follow.
DWORD FollowLink(const std::wstring& path) {
  const FileHandle target(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return target.valid() ? ERROR_SUCCESS : GetLastError();
}

}  // namespace

bool MeansAbsent(unsigned long code) noexcept {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY:
      return true;
    default:
      return false;
  }
}

bool Exists(const std::wstring& path) {
  const std::wstring file = ExtendedLengthPath(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  DWORD code = ERROR_SUCCESS;
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    code = GetLastError();
  } else if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    code = FollowLink(file);
  }
  if (code == ERROR_SUCCESS) return true;
  if (MeansAbsent(code)) return false;
  throw FilesystemError("exists", code, path);
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The walk stops at the volume root: a volume name such as \\?\C: can be
// neither queried nor created.
std::wstring DeepestExistingDirectory(const std::wstring& path) {
  const std::size_t volumeRoot = VolumeRootLength(path);
  std::wstring step = path;
  while (step.size() > volumeRoot && IsSeparator(step.back())) step.pop_back();
  while (step.size() > volumeRoot && !IsDirectory(step)) step = ParentPath(step);
  return step;
}

std::wstring LongDirectoryPath(const std::wstring& directory) {
  // Every generated 8.3 name holds a tilde: without one there is nothing to
  // spell out.
  if (directory.find(L'~') == std::wstring::npos) return directory;
  constexpr DWORD kLongestPath = 32768;
  std::wstring spelled(kLongestPath, L'\0');
  const DWORD length = GetLongPathNameW(directory.c_str(), spelled.data(), kLongestPath);
  if (length == 0 || length >= kLongestPath) return directory;
  spelled.erase(length);
  // A plain path naming a folder such as con.d answers for the device.
  return IsDirectory(spelled) ? spelled : directory;
}

}  // namespace orvanta
