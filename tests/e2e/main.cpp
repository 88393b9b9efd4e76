#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>

#include "e2e/harness.h"

// Usage: orvanta_e2e_tests --setup=<Orvanta-Setup.exe> --payload=<staged payload folder>
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  orvanta::e2e::Inputs inputs;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    if (argument.starts_with(L"--setup=")) inputs.setupProgram = argument.substr(8);
    if (argument.starts_with(L"--payload=")) inputs.payloadDir = argument.substr(10);
  }
  if (inputs.setupProgram.empty() || inputs.payloadDir.empty()) {
    fwprintf(stderr, L"usage: %ls --setup=<Orvanta-Setup.exe> --payload=<folder>\n", argv[0]);
    return 2;
  }
  orvanta::e2e::SetTestInputs(inputs);
  return orvanta::e2e::RunAllTests();
}
