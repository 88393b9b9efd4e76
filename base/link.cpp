#include "base/link.h"

#include <windows.h>

#include "base/win_handles.h"

namespace orvanta {

bool CountsAsLink(std::optional<unsigned long> reparseTag) noexcept {
  return !reparseTag || IsReparseTagNameSurrogate(*reparseTag);
}

std::optional<unsigned long> ReadReparseTag(const std::wstring& path) {
  // A folder opens only with backup semantics; the other flag opens the reparse
  // point rather than what it leads to.
  const FileHandle file(CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!file.valid() ||
      !GetFileInformationByHandleEx(file.get(), FileAttributeTagInfo, &info, sizeof(info))) {
    return std::nullopt;
  }
  // Without the attribute the handle reached something other than the reparse
  // point (Wine opens the folder behind a Unix link), and the tag says nothing.
  if (!(info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return std::nullopt;
  return info.ReparseTag;
}

}  // namespace orvanta
