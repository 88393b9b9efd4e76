#include "install/directories.h"

#include <windows.h>

#include "base/descriptors.h"
#include "base/errors.h"
#include "base/exists.h"
#include "base/path.h"

namespace orvanta {

void CreateDirectoryChain(const std::wstring& directory) {
  const std::wstring path = ExtendedLengthPath(directory);
  // Shallowest first, one name at a time below the deepest existing directory.
  std::size_t end = SkipSeparators(path, DeepestExistingDirectory(path).size());
  if (end == path.size()) return;
  const LocalPtr<wchar_t> sid = ProcessUserSid();
  const LocalPtr<void> descriptor = InstallFolderDescriptor(sid.get());
  if (!sid || !descriptor) throw FilesystemError("create_directories", GetLastError(), directory);
  // A file system without security (FAT) ignores the descriptor.
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  for (; end < path.size(); end = SkipSeparators(path, end)) {
    end = NameEnd(path, end);
    const std::wstring step = path.substr(0, end);
    if (CreateDirectoryW(step.c_str(), &attributes)) continue;
    const DWORD code = GetLastError();
    // Another process may have made it in between.
    if (!IsDirectory(step)) throw FilesystemError("create_directories", code, directory);
  }
}

}  // namespace orvanta
