#pragma once

#include <cstdint>
#include <functional>
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
// lookup answers the raw text for a language, or an empty string.
using MessageLookup = std::function<std::string(std::uint16_t language)>;
std::string FirstSystemMessage(std::uint16_t defaultLanguage, const MessageLookup& lookup);

}  // namespace orvanta
