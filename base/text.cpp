#include "base/text.h"

#include <windows.h>

namespace orvanta {
namespace {

UINT FileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

}  // namespace

std::string NarrowFileText(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const UINT codePage = FileApiCodePage();
  const int size =
      WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), size, nullptr, nullptr);
  return narrow;
}

std::wstring WidenFileText(std::string_view text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const UINT codePage = FileApiCodePage();
  const int size = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), length, wide.data(), size);
  return wide;
}

}  // namespace orvanta
