#include "install/directories.h"

#include <windows.h>

#include <vector>

#include "base/errors.h"
#include "base/path.h"

namespace orvanta {
namespace {

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The directory and its ancestors that are not directories yet, deepest
// first. The walk stops at the volume root: a volume name such as \\?\C: can
// be neither queried nor created.
std::vector<std::wstring> MissingChain(const std::wstring& directory) {
  const std::size_t volumeRoot = VolumeRootLength(directory);
  std::vector<std::wstring> missing;
  std::wstring step = directory;
  while (step.size() > volumeRoot && IsSeparator(step.back())) step.pop_back();
  while (step.size() > volumeRoot && !IsDirectory(step)) {
    missing.push_back(step);
    step = ParentPath(step);
  }
  return missing;
}

}  // namespace

void CreateDirectoryChain(const std::wstring& directory) {
  const std::vector<std::wstring> missing = MissingChain(ExtendedLengthPath(directory));
  for (auto step = missing.rbegin(); step != missing.rend(); ++step) {
    if (CreateDirectoryW(step->c_str(), nullptr)) continue;
    const DWORD code = GetLastError();
    // Another process may have made it in between.
    if (!IsDirectory(*step)) throw FilesystemError("create_directories", code, directory);
  }
}

}  // namespace orvanta
