#include "base/held_file.h"

#include <windows.h>

#include <algorithm>

#include "base/path.h"

namespace orvanta {
namespace {

constexpr ULONGLONG kHoldBoundMs = 2000;

bool MeansGone(DWORD code) noexcept {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool WorthWaitingFor(unsigned long code, unsigned long attributes) noexcept {
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) return true;
  if (code != ERROR_ACCESS_DENIED) return false;
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

unsigned long long HoldDeadline() { return GetTickCount64() + kHoldBoundMs; }

bool HoldWait::Again() {
  const DWORD code = GetLastError();
  if (pause_ == 0) attributes_ = GetFileAttributesW(subject_);
  if (!WorthWaitingFor(code, attributes_) || GetTickCount64() >= deadline_) return false;
  pause_ = pause_ == 0 ? 10 : std::min<DWORD>(pause_ * 2, 200);
  Sleep(pause_);
  return true;
}

bool DeleteFileWaiting(const std::wstring& path, unsigned long long deadline) {
  const std::wstring file = ExtendedLengthPath(path);
  // A file that is already being deleted answers access denied until its last
  // handle closes, and is then not found: gone, as a file never there is.
  return RetryWhileHeld(deadline, file, [&] {
    return DeleteFileW(file.c_str()) != FALSE || MeansGone(GetLastError());
  });
}

}  // namespace orvanta
