#pragma once

#include <cstdint>
#include <string>

// What the reliability tests are given on their command line besides the
// harness's inputs, and the figures they print once all have run.
namespace orvanta::reliability {

struct Inputs {
  std::wstring largeSetupProgram;  // the setup program built around a large payload
  std::wstring largePayloadDir;    // the Orvanta.exe and README.md it embeds
  std::wstring plantedDll;         // the DLL that reports its own loading
  std::wstring dllProbe;           // the control program that loads DLLs by name
  std::wstring driveDir;           // the directory that drive E: is mapped to
  std::wstring relayTrace;         // where Wine writes the relay trace, under Wine only
  std::uint64_t seed = 0;          // drives every random delay
  double budgetSeconds = 420;      // the time each interruption scenario may take
};
const Inputs& TestInputs();
void SetTestInputs(Inputs inputs);

// Invariant checks of the interruption tests, summed over the run.
struct Tally {
  unsigned interruptions = 0;
  unsigned passed = 0;
  unsigned failed = 0;
};
Tally& RunTally();

}  // namespace orvanta::reliability
