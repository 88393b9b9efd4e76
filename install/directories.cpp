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

// Each ancestor from the first element below the root down to the directory.
std::vector<std::wstring> ChainOf(const std::wstring& directory) {
  std::vector<std::wstring> chain;
  std::size_t pos = RootLength(directory);
  while (pos < directory.size()) {
    while (pos < directory.size() && !IsSeparator(directory[pos])) ++pos;
    chain.push_back(directory.substr(0, pos));
    while (pos < directory.size() && IsSeparator(directory[pos])) ++pos;
  }
  return chain;
}

}  // namespace

void CreateDirectoryChain(const std::wstring& directory) {
  for (const std::wstring& step : ChainOf(directory)) {
    if (IsDirectory(step) || CreateDirectoryW(step.c_str(), nullptr)) continue;
    const DWORD code = GetLastError();
    // Another process may have made it in between.
    if (!IsDirectory(step)) throw FilesystemError("create_directories", code, directory);
  }
}

}  // namespace orvanta
