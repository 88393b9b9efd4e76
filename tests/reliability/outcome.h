#pragma once

#include <windows.h>

#include <string>

#include "e2e/scenario.h"

// The shared confirmed run, how the reliability tests print what it said, and
// how they compare names.
namespace orvanta::reliability {

using e2e::Outcome;
using e2e::RunConfirmed;

// UTF-8 text for the test's output.
inline std::string Narrow(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), narrow.data(), size,
                      nullptr, nullptr);
  return narrow;
}

// The text with the letters A to Z in lower case, every other unit as it is.
template <class Text>
Text Lower(Text text) {
  for (auto& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<typename Text::value_type>(c - 'A' + 'a');
  }
  return text;
}

// A one-line account of an outcome, for the test's output.
inline std::string Describe(const Outcome& outcome) {
  std::string text = "exit code " + std::to_string(outcome.exitCode);
  if (outcome.completion) text += ", completion dialog";
  if (!outcome.failure.empty()) text += ", failure dialog \"" + Narrow(outcome.failure) + "\"";
  return text;
}

}  // namespace orvanta::reliability
