#include <gtest/gtest.h>

#include <cstdio>
#include <string_view>
#include <utility>

#include "resources/setup_image.h"
#include "shared/files.h"

// Wine hands "Z:/..." through as written; Windows file APIs want backslashes.
using orvanta::test::WindowsPath;

// Usage: orvanta_resource_tests --setup=<Orvanta-Setup.exe>
//            --application=<staged Orvanta.exe> --readme=<staged README.md>
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  orvanta::resources_test::Inputs inputs;
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    if (argument.starts_with(L"--setup=")) inputs.setupProgram = WindowsPath(argument.substr(8));
    if (argument.starts_with(L"--application=")) {
      inputs.application = WindowsPath(argument.substr(14));
    }
    if (argument.starts_with(L"--readme=")) inputs.readme = WindowsPath(argument.substr(9));
  }
  if (inputs.setupProgram.empty() || inputs.application.empty() || inputs.readme.empty()) {
    fwprintf(stderr,
             L"usage: %ls --setup=<Orvanta-Setup.exe> --application=<Orvanta.exe> "
             L"--readme=<README.md>\n",
             argv[0]);
    return 2;
  }
  orvanta::resources_test::SetTestInputs(std::move(inputs));
  return RUN_ALL_TESTS();
}
