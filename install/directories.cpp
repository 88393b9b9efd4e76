#include "install/directories.h"

#include <windows.h>

#include <vector>

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
  for (auto step = missing.rbegin(); step != missing.rend(); ++step) {
    if (CreateDirectoryW(step->c_str(), nullptr)) continue;
    const DWORD code = GetLastError();
    // Another process may have made it in between.
    if (!IsDirectory(*step)) throw FilesystemError("create_directories", code, directory);
  }
}

}  // namespace orvanta
