#pragma once

#include <string>

// The state of one run, owned by the entry sequence and passed down.
namespace orvanta {

struct SetupOptions {
  bool quiet = false;
  bool noShortcut = false;
  bool remove = false;
  std::wstring targetDir;
};

struct InstallPaths {
  std::wstring targetDir;
  std::wstring marker;
  std::wstring executable;
  std::wstring readme;
  std::wstring primaryShortcut;
  std::wstring legacyShortcut;
};

inline constexpr wchar_t kExecutableName[] = L"Orvanta.exe";
inline constexpr wchar_t kReadmeName[] = L"README.md";
inline constexpr wchar_t kMarkerName[] = L"Orvanta-Native.install";

}  // namespace orvanta
