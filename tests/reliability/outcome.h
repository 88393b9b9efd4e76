#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Runs the setup program with its dialogs answered as a user who goes ahead
// would answer them, and returns what the program said.
namespace orvanta::reliability {

struct Outcome {
  DWORD exitCode = 0xDEAD;
  std::wstring confirmation;  // the confirmation text, empty when none was shown
  std::wstring failure;       // the failure text, empty when none was shown
  bool completion = false;    // whether the completion dialog was shown
};

// OK in the confirmation, No in the completion dialog, OK in a failure dialog.
// Calls inspect (if given) while the confirmation dialog is open.
Outcome RunConfirmed(const std::wstring& program, const std::vector<std::wstring>& arguments,
                     void (*inspect)(HWND confirmation) = nullptr);

// UTF-8 text for the test's output.
std::string Narrow(const std::wstring& text);

// A one-line account of an outcome, for the test's output.
std::string Describe(const Outcome& outcome);

}  // namespace orvanta::reliability
