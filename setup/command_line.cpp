#include "setup/options.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/errors.h"
#include "base/exists.h"
#include "base/path.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

// The system's full-path rule: relative paths against the current directory,
// "." and ".." resolved, forward slashes made backslashes.
std::wstring AbsolutePath(const std::wstring& path) {
  if (path.empty()) return path;
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD needed =
        GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (needed == 0) throw FilesystemError("absolute", GetLastError(), path);
    if (needed < buffer.size()) {
      buffer.resize(needed);
      return buffer;
    }
    buffer.assign(needed, L'\0');
  }
}

}  // namespace

bool CommandLineAsksForQuiet() {
  int count = 0;
  const LocalPtr<wchar_t*> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!arguments) return false;
  const std::vector<std::wstring_view> rest(arguments.get() + std::min(count, 1),
                                            arguments.get() + count);
  return HasQuietArgument(rest);
}

void ParseCommandLine(SetupOptions& options) {
  int count = 0;
  const LocalPtr<wchar_t*> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!arguments) return;
  for (int i = 1; i < count; ++i) ApplyArgument(options, arguments.get()[i]);
}

std::wstring NormaliseTarget(const std::wstring& target) {
  std::wstring normal = LexicallyNormal(AbsolutePath(target));
  if (IsRootOnly(normal)) ThrowSetupError("A drive root cannot be used");
  // Every file call takes the extended form, which would create such a name
  // exactly as written, out of Explorer's reach. Folders that already exist
  // are the user's own and pass whatever their names.
  const std::wstring existing = DeepestExistingDirectory(normal);
  if (HasUnusableName(target, normal, existing.size())) {
    throw FilesystemError("absolute", ERROR_INVALID_NAME, target);
  }
  // One install has one spelling: the shell hands a link's target back in long
  // names, and an 8.3 spelling (as %TEMP% often gives) would call our own link
  // another program's.
  return normal.replace(0, existing.size(), LongDirectoryPath(existing));
}

}  // namespace orvanta
