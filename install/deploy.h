#pragma once

#include <cstdint>
#include <string>

namespace orvanta {

inline constexpr std::uint16_t kApplicationResource = 201;
inline constexpr std::uint16_t kReadmeResource = 202;

// Writes the raw-data resource of this executable byte for byte to the
// destination, through a staged file and one replacing rename. The
// destination's directory must exist. Raises "Missing embedded payload",
// "Cannot stage file" or "Cannot install file; close Orvanta before updating".
void DeployResource(std::uint16_t resourceId, const std::wstring& destination);

}  // namespace orvanta
