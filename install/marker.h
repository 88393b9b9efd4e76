#pragma once

#include <string>

namespace orvanta {

// Whether the directory's installation marker exists and its first line is
// the marker line. Every problem in opening or reading it answers false.
bool IsOwnedDirectory(const std::wstring& directory);

// Writes the installation marker into the directory through a staged file and
// one replacing rename. A read-only marker, or one that cannot be replaced,
// stays as it was. Raises "Cannot write installation marker".
void WriteMarker(const std::wstring& directory);

}  // namespace orvanta
