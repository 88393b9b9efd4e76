#include "install/marker.h"

#include <windows.h>

#include "base/durable_file.h"
#include "base/errors.h"
#include "base/path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "install/marker_line.h"

namespace orvanta {
namespace {

// Whether the file begins with the marker line. Reads at most kMarkerHeadSize
// bytes: a huge or endless file is never read whole.
bool HasMarkerHead(HANDLE file) {
  char head[kMarkerHeadSize];
  DWORD filled = 0;
  while (filled < kMarkerHeadSize) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(kMarkerHeadSize - filled);
    if (!ReadFile(file, head + filled, wanted, &read, nullptr)) return false;
    if (read == 0) break;
    filled += read;
  }
  return IsMarkerHead(std::string_view(head, filled));
}

}  // namespace

bool IsOwnedDirectory(const std::wstring& directory) {
  const std::wstring marker = ExtendedLengthPath(AppendPath(directory, kMarkerName));
  const FileHandle file(CreateFileW(marker.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && HasMarkerHead(file.get());
}

void WriteMarker(const std::wstring& directory) {
  constexpr Sentence kFailure = "Cannot write installation marker";
  const std::wstring marker = AppendPath(directory, kMarkerName);
  // A read-only marker is left as it is, whether or not the rename below
  // would be allowed to replace it.
  const DWORD attributes = GetFileAttributesW(ExtendedLengthPath(marker).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    ThrowSetupError(kFailure);
  }
  // Staged and renamed like the payload: a marker is never truncated in
  // place, so an interrupted write cannot unmark an installed directory.
  ReplaceFileContents(marker, kMarkerBytes.data(), static_cast<unsigned long>(kMarkerBytes.size()),
                      {kFailure, kFailure});
}

}  // namespace orvanta
