#include "setup/options.h"

#include <algorithm>

#include "base/errors.h"

namespace orvanta {
namespace {

constexpr std::wstring_view kQuiet = L"--quiet";
constexpr std::wstring_view kTargetPrefix = L"--target=";

// The options that are given by name alone, each setting one flag.
struct Flag {
  std::wstring_view name;
  bool SetupOptions::*field;
};
constexpr Flag kFlags[] = {
    {kQuiet, &SetupOptions::quiet},
    {L"--no-shortcut", &SetupOptions::noShortcut},
    {L"--remove", &SetupOptions::remove},
};

}  // namespace

bool HasQuietArgument(std::span<const std::wstring_view> arguments) noexcept {
  return std::ranges::find(arguments, kQuiet) != arguments.end();
}

void ApplyArgument(SetupOptions& options, std::wstring_view argument) {
  for (const Flag& flag : kFlags) {
    if (argument == flag.name) {
      options.*flag.field = true;
      return;
    }
  }
  if (!argument.starts_with(kTargetPrefix)) ThrowSetupError("Unknown setup argument");
  // A string made and moved in: assigning the view would repeat the
  // string's whole replace here.
  options.targetDir = std::wstring(argument.substr(kTargetPrefix.size()));
}

}  // namespace orvanta
