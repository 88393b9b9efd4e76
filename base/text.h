#pragma once

#include <string>
#include <string_view>

// Conversions between wide text and the narrow text of error messages, in the
// code page of the system's file functions. ASCII passes unchanged; a path
// with Chinese letters survives the round trip on a Chinese system.
namespace orvanta {

std::string NarrowFileText(std::wstring_view text);
std::wstring WidenFileText(std::string_view text);

}  // namespace orvanta
