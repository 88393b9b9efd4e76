#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whole files in and out, for tests that look at bytes on disk. Shared by the
// programs that link the product and those that judge it from outside.
namespace orvanta::test {

// The whole file, or nothing when it cannot be opened.
std::optional<std::string> ReadBytes(const std::wstring& path);
// Writes the bytes as the whole file, creating or truncating it; throws
// std::runtime_error when it cannot, which fails the test.
void WriteBytes(const std::wstring& path, std::string_view bytes);
// A path given with either separator, as CMake writes them, with backslashes.
std::wstring WindowsPath(std::wstring_view path);

}  // namespace orvanta::test
