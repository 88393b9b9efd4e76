#include "base/errors.h"

#include <windows.h>

#include "base/error_text.h"
#include "base/text.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

std::string LookUpMessage(DWORD code, std::uint16_t language) {
  char* buffer = nullptr;
  const DWORD flags =
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER;
  const DWORD length =
      FormatMessageA(flags, nullptr, code, language, reinterpret_cast<char*>(&buffer), 0, nullptr);
  const LocalPtr<char> owner(buffer);
  return length == 0 || buffer == nullptr ? std::string() : std::string(buffer, length);
}

std::uint16_t SystemDefaultLanguage() {
  DWORD language = 0;
  const int written =
      GetLocaleInfoEx(L"!x-sys-default-locale", LOCALE_ILANGUAGE | LOCALE_RETURN_NUMBER,
                      reinterpret_cast<wchar_t*>(&language), sizeof(language) / sizeof(wchar_t));
  return written == 0 ? 0 : static_cast<std::uint16_t>(language);
}

}  // namespace

std::string SystemMessage(unsigned long code) {
  return FirstSystemMessage(SystemDefaultLanguage(), [code](std::uint16_t language) {
    return LookUpMessage(code, language);
  });
}

FilesystemError::FilesystemError(const char* operation, unsigned long code,
                                 const std::wstring& path)
    : text_(FilesystemErrorText(operation, SystemMessage(code), NarrowFileText(path))),
      code_(code) {}

}  // namespace orvanta
