#include <gtest/gtest.h>

#include <functional>

#include "e2e/harness.h"
#include "e2e/scenario.h"

namespace orvanta::e2e {
namespace {

// Still owned: text-mode reading takes CR LF as the end of the marker line.
const std::string kOldMarker = "Orvanta-Native installer v1\r\nfrom an earlier install\n";

class OwnershipTest : public testing::Test {
 protected:
  std::wstring TargetFile(const wchar_t* name) const { return Join(target_, name); }

  // Payload from an earlier version, then an install that cannot write the
  // marker: the payload is replaced all the same and the old marker stays.
  void ExpectMarkerWriteFailureKeepsOwnership() {
    PlantOldPayload(target_);
    const Outcome run = RunConfirmed({});
    EXPECT_EQ(run.failure, L"Cannot write installation marker");
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_EQ(ReadBytes(TargetFile(kExecutable)), PayloadBytes(kExecutable));
    EXPECT_EQ(ReadBytes(TargetFile(kReadme)), PayloadBytes(kReadme));
    EXPECT_EQ(ReadBytes(TargetFile(kMarker)), kOldMarker);
    EXPECT_EQ(ListNames(target_), (std::vector<std::wstring>{kMarker, kExecutable, kReadme}));
  }

  // Were the directory no longer owned, its installed names would refuse an update.
  void ExpectStillOwned() {
    EXPECT_EQ(RunQuiet({}), 0u);
    EXPECT_EQ(ReadBytes(TargetFile(kMarker)), kMarkerBytes);
  }

  Profile profile_;
  const std::wstring target_ = profile_.defaultTarget();
};

TEST_F(OwnershipTest, UnmarkedTargetHoldingAnInstalledNameIsRefusedAfterConfirmation) {
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"executable", [&] { WriteBytes(TargetFile(kExecutable), "the user's own program"); }},
      {"read-me", [&] { WriteBytes(TargetFile(kReadme), "the user's own notes"); }},
      {"empty marker", [&] { WriteBytes(TargetFile(kMarker), ""); }},
      {"marker in other case",
       [&] { WriteBytes(TargetFile(kMarker), "orvanta-native installer v1\n"); }},
      {"marker with later version",
       [&] { WriteBytes(TargetFile(kMarker), "Orvanta-Native installer v2\n"); }},
      {"directory named like the marker", [&] { MakeDirectories(TargetFile(kMarker)); }},
  };
  for (const auto& [name, plant] : cases) {
    SCOPED_TRACE(name);
    DeleteTree(target_);
    MakeDirectories(target_);
    plant();
    ExpectRefusedUnchanged(profile_, {}, L"Target contains unowned files");
  }
}

TEST_F(OwnershipTest, UnmarkedTargetWithOnlyOtherEntriesIsInstalledIntoAndKeepsThem) {
  MakeDirectories(Join(target_, L"data"));
  WriteBytes(Join(target_, L"notes.txt"), "the user's notes");
  WriteBytes(Join(target_, L"data\\settings.ini"), "[timer]\nminutes=5\n");
  Tree expected = Snapshot(target_);

  ASSERT_EQ(RunQuiet({}), 0u);
  expected[kExecutable] = Fingerprint(PayloadBytes(kExecutable));
  expected[kReadme] = Fingerprint(PayloadBytes(kReadme));
  expected[kMarker] = Fingerprint(kMarkerBytes);
  EXPECT_EQ(Snapshot(target_), expected);
}

TEST_F(OwnershipTest, InstallMarksTheDirectoryWithTheMarkerLineAndOneLineFeed) {
  ASSERT_EQ(RunQuiet({}), 0u);
  const auto marker = ReadBytes(TargetFile(kMarker));
  ASSERT_TRUE(marker);
  EXPECT_EQ(marker->size(), 28u);
  EXPECT_EQ(*marker, kMarkerBytes);
}

TEST_F(OwnershipTest, UpdateReplacesPayloadWithoutCheckingOwnership) {
  ASSERT_EQ(RunQuiet({}), 0u);
  PlantOldPayload(target_);
  WriteBytes(TargetFile(kMarker), kOldMarker);

  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(TargetFile(kExecutable)), PayloadBytes(kExecutable));
  EXPECT_EQ(ReadBytes(TargetFile(kReadme)), PayloadBytes(kReadme));
  EXPECT_EQ(ReadBytes(TargetFile(kMarker)), kMarkerBytes);
}

TEST_F(OwnershipTest, TargetNamingAFileFailsAtDirectoryCreation) {
  const std::wstring file = Join(profile_.localAppData(), L"occupied");
  WriteBytes(file, "a file, not a directory");
  const Tree before = Snapshot(profile_.root());

  const Outcome run = RunConfirmed({L"--target=" + file});
  EXPECT_TRUE(run.failure.starts_with(L"create_directories: "))
      << testing::PrintToString(run.failure);
  EXPECT_TRUE(run.failure.ends_with(L": \"" + file + L"\"")) << testing::PrintToString(run.failure);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(Snapshot(profile_.root()), before);
}

TEST_F(OwnershipTest, ReadOnlyMarkerFailsAfterThePayloadAndKeepsTheDirectoryOwned) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteBytes(TargetFile(kMarker), kOldMarker);
  ASSERT_TRUE(SetFileAttributesW(TargetFile(kMarker).c_str(), FILE_ATTRIBUTE_READONLY));
  ExpectMarkerWriteFailureKeepsOwnership();
  SetFileAttributesW(TargetFile(kMarker).c_str(), FILE_ATTRIBUTE_NORMAL);
  ExpectStillOwned();
}

TEST_F(OwnershipTest, MarkerHeldAgainstWritersFailsAfterThePayloadAndKeepsTheDirectoryOwned) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteBytes(TargetFile(kMarker), kOldMarker);
  {
    // Another program reads the marker and lets nobody write it meanwhile.
    const HeldFile reader(TargetFile(kMarker), FILE_SHARE_READ);
    ExpectMarkerWriteFailureKeepsOwnership();
  }
  ExpectStillOwned();
}

TEST_F(OwnershipTest, FailedPayloadWriteLeavesAnUnmarkedDirectoryUnmarked) {
  // A directory where the executable's staged file would go makes its write fail.
  const std::wstring blocker = TargetFile(L"Orvanta.exe.new");
  MakeDirectories(blocker);

  const Outcome run = RunConfirmed({});
  EXPECT_EQ(run.failure, L"Cannot stage file");
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(ReadBytes(TargetFile(kReadme)), PayloadBytes(kReadme));
  EXPECT_FALSE(PathExists(TargetFile(kExecutable)));
  EXPECT_FALSE(PathExists(TargetFile(kMarker)));
  EXPECT_EQ(ListNames(profile_.programs()), std::vector<std::wstring>{});
}

}  // namespace
}  // namespace orvanta::e2e
