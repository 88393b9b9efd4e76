#pragma once

#include <optional>
#include <string>

namespace orvanta {

// Whether a reparse point with this tag stands for another file or folder (a
// name surrogate: a junction, a symbolic link, a WSL link), as opposed to one
// that only marks the folder itself, such as a cloud-file placeholder under
// OneDrive. A tag that could not be read counts as a link.
bool CountsAsLink(std::optional<unsigned long> reparseTag) noexcept;

// The reparse tag of the file or folder at the path (extended-length form)
// itself, not of what it leads to; nothing when it cannot be read.
std::optional<unsigned long> ReadReparseTag(const std::wstring& path);

}  // namespace orvanta
