#pragma once

#include <span>
#include <string_view>

#include "base/run_state.h"

namespace orvanta {

// Applies one command-line argument to the options: "--quiet",
// "--no-shortcut" and "--remove" exactly, "--target=" as a prefix with the
// rest taken unchanged. Raises "Unknown setup argument" for anything else.
void ApplyArgument(SetupOptions& options, std::wstring_view argument);

// Whether "--quiet" is one of the arguments (the program's name left out),
// wherever it stands: asked before the options are read.
bool HasQuietArgument(std::span<const std::wstring_view> arguments) noexcept;

// HasQuietArgument over the process command line; false when it cannot be split.
bool CommandLineAsksForQuiet();

// Reads the process command line into the options, left to right; the first
// unknown argument raises and nothing to its right is read.
void ParseCommandLine(SetupOptions& options);

// The target made absolute by the system and normalised; a root, or the
// empty path, raises "A drive root cannot be used". A failure to make it
// absolute is the filesystem error "absolute" with the path as given, and so
// is a name that Explorer could not handle (HasUnusableName), with
// ERROR_INVALID_NAME. The 8.3 names of the part that exists are spelled out long.
std::wstring NormaliseTarget(const std::wstring& target);

}  // namespace orvanta
