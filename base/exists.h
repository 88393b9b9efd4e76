#pragma once

#include <string>

namespace orvanta {

// Whether the system's answer for a path means that nothing is there.
bool MeansAbsent(unsigned long code) noexcept;

// Whether anything exists at the path, following symbolic links: a directory
// counts as much as a file, a dangling link as nothing. A query that fails for
// another reason raises the filesystem error "exists".
bool Exists(const std::wstring& path);

}  // namespace orvanta
