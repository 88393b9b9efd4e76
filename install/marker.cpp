#include "install/marker.h"

#include <windows.h>

#include "base/errors.h"
#include "base/path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "install/marker_line.h"

namespace orvanta {
namespace {

// Reads at most kMarkerHeadSize bytes: a huge or endless file is never read whole.
std::string ReadHead(HANDLE file) {
  std::string head(kMarkerHeadSize, '\0');
  std::size_t filled = 0;
  while (filled < head.size()) {
    DWORD read = 0;
    const DWORD wanted = static_cast<DWORD>(head.size() - filled);
    if (!ReadFile(file, head.data() + filled, wanted, &read, nullptr)) return {};
    if (read == 0) break;
    filled += read;
  }
  head.resize(filled);
  return head;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  DWORD written = 0;
  return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

}  // namespace

bool IsOwnedDirectory(const std::wstring& directory) {
  const std::wstring marker = AppendPath(directory, kMarkerName);
  const FileHandle file(CreateFileW(marker.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  return file.valid() && IsMarkerHead(ReadHead(file.get()));
}

void WriteMarker(const std::wstring& directory) {
  const std::wstring marker = AppendPath(directory, kMarkerName);
  // Opened in place, not staged: a read-only marker refuses the open and stays
  // as it was, and a reader that shares the file does not stop the write.
  const FileHandle file(CreateFileW(marker.c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid() || !WriteAll(file.get(), kMarkerBytes)) {
    throw SetupError("Cannot write installation marker");
  }
}

}  // namespace orvanta
