#pragma once

#include <cstddef>
#include <string_view>

// The installation marker's format, as plain byte logic.
namespace orvanta {

inline constexpr std::string_view kMarkerLine = "Orvanta-Native installer v1";
// What WriteMarker writes: the marker line and one line feed, 28 bytes.
inline constexpr std::string_view kMarkerBytes = "Orvanta-Native installer v1\n";
// Enough of a file to decide: the marker line and a CR LF after it.
inline constexpr std::size_t kMarkerHeadSize = kMarkerLine.size() + 2;

// Whether a file that begins with head (its first kMarkerHeadSize bytes, or
// the whole file when it is shorter) has the marker line as its first line.
// CR LF counts as a line feed, as text-mode reading has it.
bool IsMarkerHead(std::string_view head) noexcept;

}  // namespace orvanta
