#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "base/errors.h"
#include "fuzz_input.h"
#include "setup/options.h"

// Every argument either has exactly one documented effect on the options or
// raises "Unknown setup argument" and leaves them as they were.
namespace orvanta::fuzz {
namespace {

bool SameOptions(const SetupOptions& a, const SetupOptions& b) {
  return a.quiet == b.quiet && a.noShortcut == b.noShortcut && a.remove == b.remove &&
         a.targetDir == b.targetDir;
}

// What the argument should do to the options, worked out unit by unit.
bool ExpectedEffect(const std::wstring& argument, SetupOptions& expected) {
  const auto is = [&argument](const wchar_t* option) { return argument == option; };
  if (is(L"--quiet")) {
    expected.quiet = true;
  } else if (is(L"--no-shortcut")) {
    expected.noShortcut = true;
  } else if (is(L"--remove")) {
    expected.remove = true;
  } else if (argument.size() >= 9 && argument.compare(0, 9, L"--target=") == 0) {
    expected.targetDir.assign(argument, 9);
  } else {
    return false;
  }
  return true;
}

void CheckArgument(const std::wstring& argument, const SetupOptions& start) {
  SetupOptions expected = start;
  const bool known = ExpectedEffect(argument, expected);
  SetupOptions options = start;
  try {
    ApplyArgument(options, argument);
  } catch (const SetupError& error) {
    Require(!known, "a known option is accepted", argument);
    Require(std::strcmp(error.what(), "Unknown setup argument") == 0, "the unknown-argument text",
            argument);
    Require(SameOptions(options, start), "a refused argument changes nothing", argument);
    return;
  }
  Require(known, "an unknown argument is refused", argument);
  Require(SameOptions(options, expected), "the option has its documented effect", argument);
}

void CheckTargetValue(const std::wstring& value) {
  SetupOptions options;
  ApplyArgument(options, L"--target=" + value);
  Require(options.targetDir == value, "the target value is taken unchanged", value);
  Require(!options.quiet && !options.noShortcut && !options.remove, "only the target changes",
          value);
}

}  // namespace
}  // namespace orvanta::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvanta::fuzz;
  const std::wstring argument = WideFromUnits(data, size);
  CheckArgument(argument, orvanta::SetupOptions{});
  CheckArgument(argument, orvanta::SetupOptions{true, true, true, L"D:\\Earlier"});
  CheckTargetValue(argument);
  return 0;
}
