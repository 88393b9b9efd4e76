#pragma once

#include <string>

namespace orvanta {

// Whether the directory's installation marker exists and its first line is
// the marker line. Every problem in opening or reading it answers false.
bool IsOwnedDirectory(const std::wstring& directory);

// Writes the installation marker into the directory, replacing an earlier one;
// when the marker cannot be opened for writing it stays as it was. Raises
// "Cannot write installation marker".
void WriteMarker(const std::wstring& directory);

}  // namespace orvanta
