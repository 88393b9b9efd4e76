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

}  // namespace orvanta
