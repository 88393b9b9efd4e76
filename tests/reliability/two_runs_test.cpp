#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>

#include "reliability/reliability.h"
#include "reliability/states.h"

// Two real runs of the setup program made to overlap: the second starts only
// once the first is seen on disk to be midway, most often kept there by a
// file that the test holds. Each pair must end as the two runs would one
// after the other, in a state that the next install and removal finish.
namespace orvanta::reliability {
namespace {

using e2e::Join;

const std::vector<std::wstring> kInstall{L"--quiet"};
const std::vector<std::wstring> kRemove{L"--quiet", L"--remove"};
constexpr std::optional<DWORD> kSuccess{0};

std::wstring Small() { return e2e::TestInputs().setupProgram; }
std::wstring Large() { return TestInputs().largeSetupProgram; }

// The run lock's name, from this process's own token.
std::wstring RunLockName() {
  alignas(TOKEN_USER) BYTE token[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  wchar_t* sid = nullptr;
  EXPECT_TRUE(
      GetTokenInformation(GetCurrentProcessToken(), TokenUser, token, sizeof(token), &size) &&
      ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(token)->User.Sid, &sid));
  const std::unique_ptr<wchar_t, decltype(&LocalFree)> owned(sid, LocalFree);
  return std::wstring(L"Global\\Orvanta.Native.Setup.") + (sid != nullptr ? sid : L"");
}

// True once `reached` holds, false when the run ended first; the runs' own
// bound stops a hang.
bool Await(const Process& run, const std::function<bool()>& reached) {
  for (const ULONGLONG end = GetTickCount64() + kRunTimeoutMs; GetTickCount64() < end; Sleep(1)) {
    if (reached()) return true;
    if (run.Finished()) return reached();
  }
  return false;
}

class TwoRunsTest : public testing::Test {
 protected:
  void SetUp() override { ResetProfile(profile_); }
  // Whatever the pair left, an install then completes it and a removal then
  // leaves nothing.
  void TearDown() override {
    EXPECT_EQ(Process(Small(), kInstall).Wait(), kSuccess) << "the install after the pair";
    ExpectInstalled(e2e::TestInputs().payloadDir);
    EXPECT_EQ(Process(Small(), kRemove).Wait(), kSuccess) << "the removal after the pair";
    ExpectNothingLeft();
    ResetProfile(profile_);
  }

  std::wstring InTarget(const wchar_t* name) const { return Join(profile_.defaultTarget(), name); }
  void ExpectInstalled(const std::wstring& payloadDir) {
    const Scenario install{"install", Small(), kInstall, nullptr, LoadPayload(payloadDir)};
    const Snapshot now = Take(profile_);
    EXPECT_TRUE(InstallComplete(install, profile_, now)) << Describe(install, {}, now);
  }
  void ExpectNothingLeft() {
    const Snapshot now = Take(profile_);
    EXPECT_FALSE(now.targetExists || now.primaryShortcutExists) << Describe({}, now, now);
  }

  // An earlier version installed, and the large program's update held at the
  // rename over the old executable, its new one written beside it.
  std::unique_ptr<Process> UpdateHeldAtTheExecutable(std::optional<e2e::HeldFile>& hold) {
    PlaceInstall(profile_, e2e::TestInputs().payloadDir);
    hold.emplace(InTarget(e2e::kExecutable), FILE_SHARE_READ);
    auto update = std::make_unique<Process>(Large(), kInstall);
    EXPECT_TRUE(Await(*update, [&] { return e2e::PathExists(InTarget(L"Orvanta.exe.new")); }));
    return update;
  }

  Profile profile_;
};

TEST_F(TwoRunsTest, InstallDuringARemovalHeldAtTheLinkLeavesTheInstall) {
  PlaceInstall(profile_, e2e::TestInputs().payloadDir);
  std::optional<e2e::HeldFile> link(std::in_place, profile_.primaryShortcut(), FILE_SHARE_READ);
  Process removal(Small(), kRemove);
  ASSERT_TRUE(Await(removal, [&] {
    return !e2e::PathExists(InTarget(e2e::kExecutable)) && !e2e::PathExists(InTarget(e2e::kReadme));
  }));
  Process install(Small(), kInstall);
  // Held until the removal gives up on the link, or the install, run
  // meanwhile, waits on it too with its own link staged.
  Await(removal, [&] { return e2e::PathExists(Join(profile_.programs(), kStagedShortcut)); });
  link.reset();
  // The removal could not take the link away, so it says so and keeps the
  // marker.
  EXPECT_EQ(removal.Wait(), std::optional<DWORD>(1));
  EXPECT_EQ(install.Wait(), kSuccess);
  ExpectInstalled(e2e::TestInputs().payloadDir);
}

TEST_F(TwoRunsTest, RemovalDuringAnUpdateLeavesNothing) {
  std::optional<e2e::HeldFile> hold;
  const auto update = UpdateHeldAtTheExecutable(hold);
  Process removal(Small(), kRemove);
  hold.reset();
  EXPECT_EQ(update->Wait(), kSuccess);
  EXPECT_EQ(removal.Wait(), kSuccess);
  ExpectNothingLeft();
}

TEST_F(TwoRunsTest, TwoFirstInstallsBothSucceed) {
  Process first(Large(), kInstall);
  ASSERT_TRUE(Await(first, [&] { return e2e::PathExists(profile_.defaultTarget()); }));
  Process second(Large(), kInstall);
  EXPECT_EQ(first.Wait(), kSuccess);
  EXPECT_EQ(second.Wait(), kSuccess);
  ExpectInstalled(TestInputs().largePayloadDir);
}

TEST_F(TwoRunsTest, RunAfterOneKilledHoldingTheLockFinishes) {
  std::optional<e2e::HeldFile> hold;
  const auto update = UpdateHeldAtTheExecutable(hold);
  // Kept open, as by a run already waiting, so that the kill leaves the lock
  // abandoned rather than gone.
  const std::unique_ptr<void, decltype(&CloseHandle)> lock(
      OpenMutexW(SYNCHRONIZE, FALSE, RunLockName().c_str()), CloseHandle);
  ASSERT_TRUE(lock);
  ASSERT_TRUE(update->Interrupt());
  hold.reset();
  EXPECT_EQ(Process(Large(), kInstall).Wait(), kSuccess);
  ExpectInstalled(TestInputs().largePayloadDir);
}

}  // namespace
}  // namespace orvanta::reliability
