#include "base/error_text.h"

namespace orvanta {

std::string TrimSystemMessage(std::string_view text) {
  const auto end = text.find_last_not_of(std::string_view(" \t\r\n\0", 5));
  return std::string(end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1));
}

std::string FilesystemErrorText(std::string_view operation, std::string_view message,
                                std::string_view narrowPath) {
  std::string text(operation);
  text += ": ";
  text += message;
  text += ": \"";
  text += narrowPath;
  text += '"';
  return text;
}

std::string FirstSystemMessage(std::uint16_t defaultLanguage, const MessageLookup& lookup) {
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
