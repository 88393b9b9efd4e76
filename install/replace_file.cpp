#include "install/replace_file.h"

#include <windows.h>

#include <algorithm>

#include "base/errors.h"
#include "base/path.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

// A virus scanner opens a file the moment it is closed after writing, and a
// rename or delete in that moment fails for a little while. Only these codes
// are waited out, and never for long: a running Orvanta.exe holds its image
// for good, and that failure must still be reported.
constexpr ULONGLONG kTransientBoundMs = 2000;

bool IsTransient(DWORD code) noexcept {
  return code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION ||
         code == ERROR_LOCK_VIOLATION;
}

// Calls the action until it succeeds, fails for good, or the deadline passes.
template <class Action>
bool RetryTransient(ULONGLONG deadline, Action action) {
  DWORD pause = 10;
  while (!action()) {
    if (!IsTransient(GetLastError()) || GetTickCount64() >= deadline) return false;
    Sleep(pause);
    pause = std::min<DWORD>(pause * 2, 200);
  }
  return true;
}

bool WriteAllAndFlush(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size &&
         FlushFileBuffers(file);
}

}  // namespace

void ReplaceFileContents(const std::wstring& destination, const void* data, unsigned long size,
                         const ReplaceFailures& failures) {
  const std::wstring target = ExtendedLengthPath(destination);
  const std::wstring staged = StagedPath(target);
  // No sharing: nobody may read, change or delete the staged file while it is written.
  FileHandle file(CreateFileW(staged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) throw SetupError(failures.stage);

  const bool written = WriteAllAndFlush(file.get(), data, size);
  file.Close();
  const ULONGLONG deadline = GetTickCount64() + kTransientBoundMs;
  const bool replaced =
      written && RetryTransient(deadline, [&] {
        return MoveFileExW(staged.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
      });
  if (replaced) return;
  RetryTransient(deadline, [&] { return DeleteFileW(staged.c_str()) != FALSE; });
  throw SetupError(failures.replace);
}

}  // namespace orvanta
