#include "base/durable_file.h"

#include <windows.h>

#include "base/errors.h"
#include "base/held_file.h"
#include "base/path.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

bool WriteAllAndFlush(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size &&
         FlushFileBuffers(file);
}

}  // namespace

std::wstring StagedPath(const std::wstring& destination) { return destination + L".new"; }

void ReplaceFileContents(const std::wstring& destination, const void* data, unsigned long size,
                         const ReplaceFailures& failures) {
  const std::wstring target = ExtendedLengthPath(destination);
  const std::wstring staged = StagedPath(target);
  // No sharing: nobody may read, change or delete the staged file while it is written.
  FileHandle file(CreateFileW(staged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) ThrowSetupError(failures.stage);

  const bool written = WriteAllAndFlush(file.get(), data, size);
  file.Close();
  // One wait for the step: the clean-up gets what the rename left of it.
  const unsigned long long deadline = HoldDeadline();
  const bool replaced =
      written && RetryWhileHeld(deadline, target, [&] {
        return MoveFileExW(staged.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
      });
  if (replaced) return;
  DeleteFileWaiting(staged, deadline);
  ThrowSetupError(failures.replace);
}

}  // namespace orvanta
