#pragma once

#include <optional>
#include <string>

// A shell link as a fresh shell-link object reads it back from disk. The
// caller has initialised COM on its thread.
namespace orvanta::test {

struct LinkFields {
  std::wstring target;
  std::wstring workingDirectory;
  std::wstring iconPath;
  int iconIndex = -1;
  std::wstring description;
  std::wstring appUserModelId;  // empty when the link has none
};

// Nothing when the file does not load as a link.
std::optional<LinkFields> ReadLink(const std::wstring& path);

}  // namespace orvanta::test
