#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "e2e/harness.h"
#include "e2e/scenario.h"

namespace orvanta::e2e {
namespace {

const std::wstring kNotOwned = L"Directory was not installed by Orvanta";
const std::wstring kCannotRemove = L"Cannot remove installed file; close Orvanta first";

class RemoveTest : public testing::Test {
 protected:
  std::wstring TargetFile(const wchar_t* name) const { return Join(target_, name); }

  // A complete install with both shortcuts pointing at its executable.
  void InstallWithLegacyShortcut() {
    ASSERT_EQ(RunQuiet({}), 0u);
    WriteLink(profile_.legacyShortcut(), TargetFile(kExecutable));
    ASSERT_TRUE(PathExists(profile_.primaryShortcut()));
  }

  void ExpectEverythingRemoved() {
    EXPECT_FALSE(PathExists(target_));
    EXPECT_EQ(ListNames(profile_.programs()), std::vector<std::wstring>{});
  }

  Profile profile_;
  const std::wstring target_ = profile_.defaultTarget();
};

TEST_F(RemoveTest, ConfirmationNamesTheTargetAndCancelKeepsEverything) {
  InstallWithLegacyShortcut();
  const Tree before = Snapshot(profile_.root());
  EXPECT_EQ(ConfirmationDialogText({L"--remove"}), L"移除 Orvanta？\n" + target_ + kClosingNote);
  EXPECT_EQ(Snapshot(profile_.root()), before);
}

TEST_F(RemoveTest, CompleteInstallIsRemovedWithoutFurtherDialog) {
  InstallWithLegacyShortcut();
  SetupRun run({L"--remove"});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  confirmation->Press(IDOK);
  EXPECT_FALSE(run.NextDialog()) << "a removal ends without another dialog";
  EXPECT_EQ(run.ExitCode(), 0u);
  ExpectEverythingRemoved();
}

TEST_F(RemoveTest, QuietRemovalLeavesTheFoldersAsBeforeTheInstall) {
  const std::wstring parent = Join(profile_.localAppData(), L"Programs");
  MakeDirectories(Join(parent, L"Neighbour"));
  WriteBytes(Join(parent, L"Neighbour\\tool.exe"), "another program");
  WriteBytes(Join(profile_.programs(), L"Other.lnk"), "another program's entry");
  const Tree before = Snapshot(profile_.root());

  ASSERT_EQ(RunQuiet({}), 0u);
  ASSERT_NE(Snapshot(profile_.root()), before);
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  EXPECT_EQ(Snapshot(profile_.root()), before);
}

TEST_F(RemoveTest, RemoveKeepsForeignShortcut) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteLink(profile_.primaryShortcut(), Join(profile_.localAppData(), L"Other\\Other.exe"));
  const auto foreign = ReadBytes(profile_.primaryShortcut());
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  EXPECT_EQ(ReadBytes(profile_.primaryShortcut()), foreign);
  EXPECT_FALSE(PathExists(target_));
}

TEST_F(RemoveTest, EntriesItDidNotInstallKeepTheirDirectory) {
  for (const wchar_t* name : {L"notes.txt", L"Orvanta.exe.new", L"README.md.new"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    DeleteTree(target_);
    InstallWithLegacyShortcut();
    WriteBytes(TargetFile(name), "not installed by the setup program");
    const Tree kept = {{name, Fingerprint("not installed by the setup program")}};

    EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
    EXPECT_EQ(Snapshot(target_), kept);
    EXPECT_EQ(ListNames(profile_.programs()), std::vector<std::wstring>{});
  }
}

TEST_F(RemoveTest, ReadmeAlreadyDeletedIsSkipped) {
  InstallWithLegacyShortcut();
  ASSERT_TRUE(DeleteFileW(TargetFile(kReadme).c_str()));
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  ExpectEverythingRemoved();
}

TEST_F(RemoveTest, UnmarkedDirectoryIsRefusedAfterConfirmation) {
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"no marker", [&] { DeleteFileW(TargetFile(kMarker).c_str()); }},
      {"wrong first line",
       [&] { WriteBytes(TargetFile(kMarker), "Orvanta-Native installer v1 \n"); }},
  };
  for (const auto& [name, unmark] : cases) {
    SCOPED_TRACE(name);
    DeleteTree(target_);
    InstallWithLegacyShortcut();
    unmark();
    ExpectRefusedUnchanged(profile_, {L"--remove"}, kNotOwned);
  }
}

TEST_F(RemoveTest, SecondRemovalIsRefused) {
  ASSERT_EQ(RunQuiet({}), 0u);
  ASSERT_EQ(RunQuiet({L"--remove"}), 0u);
  ExpectRefusedUnchanged(profile_, {L"--remove"}, kNotOwned);
}

TEST_F(RemoveTest, FailedDeletionStopsInOrderAndKeepsTheDirectoryMarked) {
  // The shortcuts go after the payload and before the marker.
  const std::vector<std::wstring> order = {TargetFile(kExecutable), TargetFile(kReadme),
                                           profile_.primaryShortcut(), TargetFile(kMarker)};
  for (std::size_t failing = 0; failing < order.size(); ++failing) {
    SCOPED_TRACE(testing::PrintToString(order[failing]));
    DeleteTree(target_);
    InstallWithLegacyShortcut();
    const std::wstring& blocked = order[failing];
    std::unique_ptr<HeldFile> reader;
    if (failing >= 2) {
      // A directory in the marker's place would unmark the directory; a
      // reader that forbids deletion keeps it readable but undeletable. The
      // link is held unreadable: it may be ours, so it must not be orphaned.
      reader = std::make_unique<HeldFile>(blocked,
                                          failing == 2 ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE);
    } else {
      ASSERT_TRUE(DeleteFileW(blocked.c_str()));
      MakeDirectories(blocked);
    }

    const Outcome run = RunConfirmed({L"--remove"});
    EXPECT_EQ(run.failure, kCannotRemove);
    EXPECT_EQ(run.exitCode, 1u);
    for (std::size_t i = 0; i < order.size(); ++i) {
      EXPECT_EQ(PathExists(order[i]), i >= failing) << "entry " << i;
    }
    EXPECT_EQ(PathExists(profile_.legacyShortcut()), failing < 2);
    if (!reader) continue;
    // Once the hold is gone, the next removal finishes.
    reader.reset();
    EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
    ExpectEverythingRemoved();
  }
}

TEST_F(RemoveTest, RunningApplicationBlocksRemovalUntilItIsClosed) {
  InstallWithLegacyShortcut();
  {
    const HeldFile image(TargetFile(kExecutable));
    ExpectRefusedUnchanged(profile_, {L"--remove"}, kCannotRemove);
  }
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  ExpectEverythingRemoved();
}

// The application's own process, not a handle held for it: Windows refuses
// to replace or delete the image of a running program.
TEST_F(RemoveTest, RunningApplicationRefusesUpdateAndRemoval) {
  InstallWithLegacyShortcut();
  {
    const RunningApplication application(TargetFile(kExecutable));
    ASSERT_TRUE(application.running());
    const Tree before = Snapshot(profile_.root());
    EXPECT_EQ(RunQuiet({}), 1u) << "update";
    EXPECT_EQ(RunQuiet({L"--remove"}), 1u) << "removal";
    EXPECT_EQ(Snapshot(profile_.root()), before);
  }
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  ExpectEverythingRemoved();
}

// A link with an installed file's name goes, and what it points at stays.
TEST_F(RemoveTest, FileSymbolicLinkIsDeletedAndItsTargetKept) {
  ASSERT_EQ(RunQuiet({}), 0u);
  const std::wstring outside = Join(profile_.root(), L"notes.md");
  WriteBytes(outside, "the user's notes\r\n");
  const std::wstring link = TargetFile(kReadme);
  ASSERT_TRUE(DeleteFileW(link.c_str()));
  if (!CreateSymbolicLinkW(link.c_str(), outside.c_str(),
                           SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE)) {
    const DWORD error = GetLastError();
    if (error == ERROR_PRIVILEGE_NOT_HELD) {
      GTEST_SKIP() << "making a symbolic link needs developer mode or the privilege for it";
    }
    FAIL() << "cannot make the symbolic link, error " << error;
  }
  ASSERT_NE(GetFileAttributesW(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  if (ReadBytes(link) != "the user's notes\r\n") {
    ASSERT_TRUE(UnderWine()) << "the link does not lead to its target";
    GTEST_SKIP() << "this Wine makes symbolic links that do not lead to their target";
  }
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  EXPECT_FALSE(PathExists(target_));
  EXPECT_EQ(ReadBytes(outside), "the user's notes\r\n");
}

TEST_F(RemoveTest, InterruptedRemovalLeavesTheDirectoryMarkedAndCanBeRunAgain) {
  InstallWithLegacyShortcut();
  {
    const HeldFile readme(TargetFile(kReadme));
    EXPECT_EQ(RunQuiet({L"--remove"}), 1u);
    EXPECT_EQ(ListNames(target_), (std::vector<std::wstring>{kMarker, kReadme}));
    EXPECT_EQ(ReadBytes(TargetFile(kMarker)), kMarkerBytes);
    EXPECT_TRUE(PathExists(profile_.primaryShortcut()));
  }
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  ExpectEverythingRemoved();
}

TEST_F(RemoveTest, NoShortcutOptionStillRemovesOwnShortcuts) {
  InstallWithLegacyShortcut();
  EXPECT_EQ(RunQuiet({L"--remove", L"--no-shortcut"}), 0u);
  ExpectEverythingRemoved();
}

}  // namespace
}  // namespace orvanta::e2e
