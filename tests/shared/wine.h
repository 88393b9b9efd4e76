#pragma once

#include <windows.h>

namespace orvanta::test {

// Whether the tests run under Wine rather than Windows: only Wine's ntdll
// tells its version.
inline bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace orvanta::test
