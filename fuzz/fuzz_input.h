#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// Turning libFuzzer's bytes into the strings the setup program sees, and
// stopping the run when a property fails.
namespace orvanta::fuzz {

// Windows hands the program UTF-16 text, while wchar_t is 32 bits here: each
// pair of bytes (little-endian) is one 16-bit unit, so no unit above 0xFFFF
// ever reaches the code under test. An odd last byte is dropped.
inline std::wstring WideFromUnits(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  text.reserve(size / 2);
  for (std::size_t i = 0; i + 1 < size; i += 2) {
    text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
  }
  return text;
}

// Several inputs from one: the parts between delimiters, always at least one.
template <typename Char>
std::vector<std::basic_string<Char>> SplitAt(std::basic_string_view<Char> text, Char delimiter) {
  std::vector<std::basic_string<Char>> parts;
  std::size_t start = 0;
  for (std::size_t pos = text.find(delimiter); pos != text.npos;
       pos = text.find(delimiter, start)) {
    parts.emplace_back(text.substr(start, pos - start));
    start = pos + 1;
  }
  parts.emplace_back(text.substr(start));
  return parts;
}

inline std::string Printable(std::wstring_view text) {
  std::string shown;
  for (const wchar_t c : text) {
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      char escaped[12];
      std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
      shown += escaped;
    }
  }
  return shown;
}

inline std::string Printable(std::string_view text) {
  std::string shown;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
      shown += escaped;
    }
  }
  return shown;
}

// A failed property aborts, which libFuzzer records as a crash with the input.
template <typename Text>
void Require(bool holds, const char* property, const Text& input) {
  if (holds) return;
  std::fprintf(stderr, "Property failed: %s\n  input: \"%s\"\n", property,
               Printable(input).c_str());
  std::abort();
}

}  // namespace orvanta::fuzz
