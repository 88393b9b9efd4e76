#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

// The texts that the failure dialog shows, as plain string logic.
namespace orvanta {

inline constexpr std::string_view kUnknownErrorText = "unknown error";

// Cuts trailing blanks, tabs, carriage returns, line feeds and NUL bytes.
std::string TrimSystemMessage(std::string_view text);

// "op: message: "path"", the text of a filesystem error.
std::string FilesystemErrorText(std::string_view operation, std::string_view message,
                                std::string_view narrowPath);

// Looks a system message up in US English, then in the system's default
// language, then with language 0, and keeps the first text found, trimmed.
// lookup(language) answers the raw text for a language, or an empty string.
// A template rather than std::function, whose empty-call exception the setup
// program does not otherwise need.
template <typename Lookup>
std::string FirstSystemMessage(std::uint16_t defaultLanguage, const Lookup& lookup) {
  constexpr std::uint16_t kUsEnglish = 0x0409;
  for (const std::uint16_t language : {kUsEnglish, defaultLanguage, std::uint16_t{0}}) {
    const std::string raw = lookup(language);
    if (raw.empty()) continue;
    const std::string trimmed = TrimSystemMessage(raw);
    return trimmed.empty() ? std::string(kUnknownErrorText) : trimmed;
  }
  return std::string(kUnknownErrorText);
}

}  // namespace orvanta
