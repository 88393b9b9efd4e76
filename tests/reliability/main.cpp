#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "e2e/harness.h"
#include "reliability/reliability.h"

namespace orvanta::reliability {
namespace {
Inputs& MutableInputs() {
  static Inputs inputs;
  return inputs;
}
}  // namespace

const Inputs& TestInputs() { return MutableInputs(); }
void SetTestInputs(Inputs inputs) { MutableInputs() = std::move(inputs); }
Tally& RunTally() {
  static Tally tally;
  return tally;
}

}  // namespace orvanta::reliability

// Usage: orvanta_reliability_tests --setup=<exe> --payload=<folder> --large-setup=<exe>
//        --large-payload=<folder> --planted-dll=<dll> --probe=<exe> [--seed=<n>]
//        [--budget=<seconds per interruption scenario>]
int wmain(int argc, wchar_t** argv) {
  testing::InitGoogleTest(&argc, argv);
  orvanta::e2e::Inputs harness;
  orvanta::reliability::Inputs inputs;
  inputs.seed = GetTickCount64() ^ GetCurrentProcessId();
  for (int i = 1; i < argc; ++i) {
    const std::wstring_view argument = argv[i];
    const auto value = [&](std::wstring_view prefix, std::wstring& into) {
      if (argument.starts_with(prefix)) into = argument.substr(prefix.size());
    };
    value(L"--setup=", harness.setupProgram);
    value(L"--payload=", harness.payloadDir);
    value(L"--large-setup=", inputs.largeSetupProgram);
    value(L"--large-payload=", inputs.largePayloadDir);
    value(L"--planted-dll=", inputs.plantedDll);
    value(L"--probe=", inputs.dllProbe);
    value(L"--drive-e=", inputs.driveDir);
    value(L"--relay-trace=", inputs.relayTrace);
    if (argument.starts_with(L"--seed="))
      inputs.seed = std::stoull(std::wstring(argument.substr(7)));
    if (argument.starts_with(L"--budget="))
      inputs.budgetSeconds = std::stod(std::wstring(argument.substr(9)));
  }
  if (harness.setupProgram.empty() || harness.payloadDir.empty() ||
      inputs.largeSetupProgram.empty() || inputs.largePayloadDir.empty() ||
      inputs.plantedDll.empty() || inputs.dllProbe.empty()) {
    std::fprintf(stderr,
                 "usage: orvanta_reliability_tests --setup= --payload= --large-setup= "
                 "--large-payload= --planted-dll= --probe= [--seed=] [--budget=]\n");
    return 2;
  }
  orvanta::e2e::SetTestInputs(harness);
  orvanta::reliability::SetTestInputs(inputs);
  const int result = orvanta::e2e::RunAllTests();
  const auto& tally = orvanta::reliability::RunTally();
  if (tally.interruptions > 0 || tally.passed > 0 || tally.failed > 0) {
    std::printf("seed: %llu\n", static_cast<unsigned long long>(inputs.seed));
    std::printf("interruptions made: %u\n", tally.interruptions);
    std::printf("%u passed, %u failed\n", tally.passed, tally.failed);
  }
  return result;
}
