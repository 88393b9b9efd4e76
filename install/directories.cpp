#include "install/directories.h"

#include <windows.h>

#include <vector>

#include "base/descriptors.h"
#include "base/errors.h"
#include "base/exists.h"
#include "base/path.h"

namespace orvanta {
namespace {

// The directory and its ancestors that are not directories yet, deepest first.
std::vector<std::wstring> MissingChain(const std::wstring& directory) {
  const std::size_t existing = DeepestExistingDirectory(directory).size();
  std::vector<std::wstring> missing;
  std::wstring step = directory;
  while (step.size() > existing && IsSeparator(step.back())) step.pop_back();
  for (; step.size() > existing; step = ParentPath(step)) missing.push_back(step);
  return missing;
}

}  // namespace

void CreateDirectoryChain(const std::wstring& directory) {
  const std::vector<std::wstring> missing = MissingChain(ExtendedLengthPath(directory));
  if (missing.empty()) return;
  const LocalPtr<wchar_t> sid = ProcessUserSid();
  const LocalPtr<void> descriptor = InstallFolderDescriptor(sid.get());
  if (!sid || !descriptor) throw FilesystemError("create_directories", GetLastError(), directory);
  // A file system without security (FAT) ignores the descriptor.
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  for (auto step = missing.rbegin(); step != missing.rend(); ++step) {
    if (CreateDirectoryW(step->c_str(), &attributes)) continue;
    const DWORD code = GetLastError();
    // Another process may have made it in between.
    if (!IsDirectory(*step)) throw FilesystemError("create_directories", code, directory);
  }
}

}  // namespace orvanta
