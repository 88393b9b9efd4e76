#include "setup/options.h"

#include <algorithm>

#include "base/errors.h"

namespace orvanta {
namespace {

constexpr std::wstring_view kTargetPrefix = L"--target=";

}  // namespace

bool HasQuietArgument(std::span<const std::wstring_view> arguments) noexcept {
  return std::find(arguments.begin(), arguments.end(), L"--quiet") != arguments.end();
}

void ApplyArgument(SetupOptions& options, std::wstring_view argument) {
  if (argument == L"--quiet") {
    options.quiet = true;
  } else if (argument == L"--no-shortcut") {
    options.noShortcut = true;
  } else if (argument == L"--remove") {
    options.remove = true;
  } else if (argument.substr(0, kTargetPrefix.size()) == kTargetPrefix) {
    options.targetDir = argument.substr(kTargetPrefix.size());
  } else {
    throw SetupError("Unknown setup argument");
  }
}

}  // namespace orvanta
