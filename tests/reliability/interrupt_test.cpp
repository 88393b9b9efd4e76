#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "reliability/reliability.h"
#include "reliability/states.h"

// Kills the real setup program at random moments of an install, an update and
// a removal, and checks after each kill, and again after the same command has
// been run to its end, the invariants of every cut state. The power-cut checks
// enumerate every cut point of a recorded run; these kills confirm that the
// real program, cut for real, leaves states of the kinds recorded.
namespace orvanta::reliability {
namespace {

using e2e::Join;

// Whether the kill landed in the middle of the work rather than during process
// start or after the end: a staged file present, or the read-me new with the
// executable old (README.md is written first); in a removal, an owned file
// deleted while the directory is still marked.
bool CutMidway(const Scenario& scenario, const Snapshot& before, const Snapshot& now) {
  if (scenario.removal) {
    return now.targetExists &&
           (now.files.exe != before.files.exe || now.files.readme != before.files.readme ||
            now.marker != before.marker);
  }
  return HasName(now.targetNames, L"Orvanta.exe.new") ||
         HasName(now.targetNames, L"README.md.new") ||
         (now.files.readme == scenario.next.readme && now.files.exe == before.files.exe);
}

double Now() {
  LARGE_INTEGER counter;
  LARGE_INTEGER frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Sleeps most of the way and spins the rest, for sub-millisecond spread.
void Delay(double seconds) {
  const double end = Now() + seconds;
  if (seconds > 0.003) Sleep(static_cast<DWORD>((seconds - 0.002) * 1000));
  while (Now() < end) {
  }
}

// Returns once the names in the target differ from `names` or the run has ended.
void AwaitFirstChange(const Process& run, const Profile& profile,
                      const std::vector<std::wstring>& names) {
  while (!run.Finished() && e2e::ListNames(profile.defaultTarget()) == names) {
  }
}

struct Timing {
  double span = 0;  // the whole command
  double work = 0;  // from its first change in the target to its end
};

// The longest times of three runs, so that the kills cover all of a run.
Timing MeasureRun(const Profile& profile, const Scenario& scenario) {
  Timing longest;
  for (int i = 0; i < 3; ++i) {
    ResetProfile(profile);
    scenario.prepare(profile);
    const auto names = e2e::ListNames(profile.defaultTarget());
    const double start = Now();
    Process run(scenario.program, scenario.arguments);
    EXPECT_TRUE(run.started());
    AwaitFirstChange(run, profile, names);
    const double changed = Now();
    EXPECT_EQ(run.Wait(), std::optional<DWORD>(0));
    longest.span = std::max(longest.span, Now() - start);
    longest.work = std::max(longest.work, Now() - changed);
  }
  return longest;
}

// Kills the command at least `wanted` times and until `midway` of the kills
// have cut the work itself, within six attempts a kill and the run's time budget.
void RunInterruptions(Scenario& scenario, unsigned wanted, unsigned midway) {
  const double start = Now();
  const double deadline = start + TestInputs().budgetSeconds;
  Profile profile;
  const Timing timing = MeasureRun(profile, scenario);
  std::mt19937_64 random(TestInputs().seed ^ std::hash<std::string>{}(scenario.name));
  // Every other kill is timed from the first change in the target, since
  // process start takes most of a run. A kill that comes after the run's end
  // shows the run shorter than measured (the measurement may have met a busy
  // moment): its delay becomes the bound, so the kills keep covering the run
  // however the machine's speed moves.
  double spanBound = timing.span * 1.05;
  double workBound = timing.work * 1.05;
  std::map<std::string, unsigned> seen;
  unsigned attempts = 0;
  unsigned cut = 0;
  while ((scenario.interruptions < wanted || cut < midway) && attempts++ < wanted * 6 &&
         Now() < deadline) {
    ResetProfile(profile);
    scenario.prepare(profile);
    const Snapshot before = Take(profile);
    const bool fromChange = attempts % 2 == 0;
    double& bound = fromChange ? workBound : spanBound;
    const double delay = std::uniform_real_distribution<double>(0.0, bound)(random);
    Checks checks(std::string(scenario.name) + " killed " +
                  std::to_string(static_cast<int>(delay * 1e6)) + " us after " +
                  (fromChange ? "its first change" : "its start"));
    {
      Process run(scenario.program, scenario.arguments);
      ASSERT_TRUE(run.started());
      if (fromChange) AwaitFirstChange(run, profile, before.targetNames);
      Delay(delay);
      if (!run.Interrupt()) {
        if (run.Finished()) bound = delay;
        continue;
      }
    }
    ++scenario.interruptions;
    ++RunTally().interruptions;
    const Snapshot interrupted = Take(profile);
    ++seen[Describe(scenario, before, interrupted)];
    if (CutMidway(scenario, before, interrupted)) ++cut;
    CheckInvariants(checks, scenario, before, interrupted);
    RunAgain(checks, scenario, profile, before, interrupted);
  }
  ResetProfile(profile);
  std::printf(
      "%s: %u interruptions over %.0f ms (%.0f ms from the first change), %u of them "
      "midway, in %.0f s of a %.0f s budget; states left by the kills:\n",
      scenario.name, scenario.interruptions, timing.span * 1000, timing.work * 1000, cut,
      Now() - start, TestInputs().budgetSeconds);
  for (const auto& [state, count] : seen) std::printf("  %4u  %s\n", count, state.c_str());
  EXPECT_GE(scenario.interruptions, wanted)
      << scenario.name << ": the time budget ran out after " << scenario.interruptions << " of "
      << wanted << " interruptions";
  EXPECT_GE(cut, midway) << scenario.name << ": only " << cut
                         << " kills cut the work midway; the rest fell before or after it";
}

// Enough kills to see every kind of midway state of a scenario (a staged file,
// a new read-me beside an old executable, owned files partly deleted); the
// cut points in between are enumerated by the power-cut checks.
constexpr unsigned kKills = 12;
constexpr unsigned kMidway = 4;

Payload LargePayload() { return LoadPayload(TestInputs().largePayloadDir); }

void PrepareNothing(const Profile&) {}

void PrepareEarlierInstall(const Profile& profile) {
  PlaceInstall(profile, e2e::TestInputs().payloadDir);
  e2e::WriteBytes(Join(profile.defaultTarget(), L"notes.txt"), "the user's own notes\r\n");
}

void PrepareLargeInstall(const Profile& profile) {
  PlaceInstall(profile, TestInputs().largePayloadDir);
}

TEST(InterruptedRunTest, KilledInstallNeverLeavesPartialFilesOrEarlyMarker) {
  Scenario scenario{
      "install", TestInputs().largeSetupProgram, {L"--quiet"}, PrepareNothing, LargePayload()};
  ASSERT_TRUE(scenario.next.exe && scenario.next.readme);
  RunInterruptions(scenario, kKills, kMidway);
}

TEST(InterruptedRunTest, KilledUpdateKeepsEachFileOldOrWholeNew) {
  Scenario scenario{"update",
                    TestInputs().largeSetupProgram,
                    {L"--quiet"},
                    PrepareEarlierInstall,
                    LargePayload()};
  ASSERT_NE(scenario.next.exe, LoadPayload(e2e::TestInputs().payloadDir).exe);
  RunInterruptions(scenario, kKills, kMidway);
}

TEST(InterruptedRunTest, KilledRemovalKeepsDirectoryMarkedUntilMarkerGoes) {
  Scenario scenario{"removal",
                    TestInputs().largeSetupProgram,
                    {L"--quiet", L"--remove"},
                    PrepareLargeInstall,
                    Payload{},
                    true};
  RunInterruptions(scenario, kKills, kMidway);
}

}  // namespace
}  // namespace orvanta::reliability
