#include "install/remove.h"

#include <gtest/gtest.h>

#include "base/exists.h"
#include "base/path.h"
#include "base/text.h"
#include "component/fixture.h"
#include "base/held_file.h"
#include "install/marker.h"
#include "shell/shortcut.h"

namespace orvanta::test {
namespace {

constexpr char kCannotRemove[] = "Cannot remove installed file; close Orvanta first";

// A complete installation in a temporary directory, with a fake Programs
// folder that holds both shortcut names pointing at it.
class RemoveTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    paths_.targetDir = Path(L"Orvanta");
    paths_.executable = AppendPath(paths_.targetDir, L"Orvanta.exe");
    paths_.readme = AppendPath(paths_.targetDir, L"README.md");
    paths_.marker = AppendPath(paths_.targetDir, L"Orvanta-Native.install");
    const ShortcutPaths shortcuts = ShortcutPathsIn(Path(L"Programs"));
    paths_.primaryShortcut = shortcuts.primary;
    paths_.legacyShortcut = shortcuts.legacy;

    ASSERT_TRUE(CreateDirectoryW(paths_.targetDir.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Path(L"Programs").c_str(), nullptr));
    WriteBytes(paths_.executable, "MZ");
    WriteBytes(paths_.readme, "# Orvanta\r\n");
    WriteMarker(paths_.targetDir);
    CreateShortcut(paths_.executable, paths_.primaryShortcut);
    CreateShortcut(paths_.executable, paths_.legacyShortcut);
  }

  bool Owned() const { return IsOwnedDirectory(paths_.targetDir); }

  void ExpectEverythingPresent() const {
    for (const std::wstring* path : {&paths_.executable, &paths_.readme, &paths_.marker,
                                     &paths_.primaryShortcut, &paths_.legacyShortcut}) {
      EXPECT_TRUE(Exists(*path)) << NarrowFileText(*path);
    }
  }

  InstallPaths paths_;
};

// A target that is a directory link: made by the build on the host, since
// Wine cannot make one itself (on Windows a symbolic link needs developer mode).
TEST_F(RemoveTest, LinkedTargetStaysWithTheFolderBehindIt) {
  const std::wstring behind = ORVANTA_COMPONENT_LINK_TARGET;
  CreateDirectoryW(behind.c_str(), nullptr);  // gone if an earlier run lost it
  InstallPaths linked = paths_;
  linked.targetDir = ORVANTA_COMPONENT_LINKED_DIR;
  const DWORD attributes = GetFileAttributesW(linked.targetDir.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ASSERT_FALSE(ORVANTA_COMPONENT_LINK_MADE) << "the build made the link, and it is gone";
    GTEST_SKIP() << "no directory link at " << NarrowFileText(linked.targetDir);
  }
  linked.executable = AppendPath(linked.targetDir, L"Orvanta.exe");
  linked.readme = AppendPath(linked.targetDir, L"README.md");
  linked.marker = AppendPath(linked.targetDir, L"Orvanta-Native.install");
  WriteBytes(linked.executable, "MZ");
  WriteBytes(linked.readme, "# Orvanta\r\n");
  WriteMarker(linked.targetDir);

  RunRemove(linked, IsOwnedDirectory(linked.targetDir));
  EXPECT_FALSE(Exists(linked.marker));
  EXPECT_EQ(GetFileAttributesW(linked.targetDir.c_str()), attributes) << "the link went away";
  EXPECT_TRUE(IsDirectory(behind)) << "the folder behind the link went away";
}

TEST_F(RemoveTest, RemovesFilesShortcutsAndEmptyDirectory) {
  ASSERT_TRUE(Owned());
  // A staged link that a cut install left behind.
  CreateShortcut(paths_.executable, paths_.primaryShortcut + L".new");
  RunRemove(paths_, Owned());
  EXPECT_FALSE(Exists(paths_.targetDir));
  EXPECT_FALSE(Exists(paths_.primaryShortcut));
  EXPECT_FALSE(Exists(paths_.legacyShortcut));
  EXPECT_FALSE(Exists(paths_.primaryShortcut + L".new"));
  EXPECT_TRUE(IsDirectory(Path(L"Programs")));
}

TEST_F(RemoveTest, UnownedDirectoryIsRefusedWithNothingDeleted) {
  EXPECT_EQ(SetupErrorText([&] { RunRemove(paths_, false); }),
            "Directory was not installed by Orvanta");
  ExpectEverythingPresent();
}

TEST_F(RemoveTest, RunningApplicationStopsEverything) {
  {
    const FileHandle running(OpenHeld(paths_.executable, GENERIC_READ, 0));
    ASSERT_TRUE(running.valid());
    EXPECT_EQ(SetupErrorText([&] { RunRemove(paths_, Owned()); }), kCannotRemove);
    ExpectEverythingPresent();
  }
  // Closed again, the same removal goes through.
  RunRemove(paths_, Owned());
  EXPECT_FALSE(Exists(paths_.targetDir));
}

// A shortcut of ours that cannot be deleted, or that cannot even be read and
// so may be ours, is never orphaned: the removal fails with the marker kept,
// and the next one finishes.
TEST_F(RemoveTest, UndeletableOrUnreadableShortcutKeepsTheDirectoryMarked) {
  for (const DWORD share : {DWORD{FILE_SHARE_READ}, DWORD{0}}) {
    SCOPED_TRACE(share == 0 ? "unreadable" : "undeletable");
    if (share == 0) {  // a fresh installation for the second row
      TearDown();
      SetUp();
    }
    {
      const FileHandle held(OpenHeld(paths_.primaryShortcut, GENERIC_READ, share));
      ASSERT_TRUE(held.valid());
      EXPECT_EQ(SetupErrorText([&] { RunRemove(paths_, Owned()); }),
                "Cannot remove installed file; close Orvanta first");
      EXPECT_FALSE(Exists(paths_.executable));
      EXPECT_TRUE(Exists(paths_.primaryShortcut));
      EXPECT_TRUE(Owned());
    }
    RunRemove(paths_, Owned());
    EXPECT_FALSE(Exists(paths_.targetDir));
    EXPECT_FALSE(Exists(paths_.primaryShortcut));
  }
}

TEST_F(RemoveTest, MomentaryHoldIsWaitedOut) {
  {
    const MomentaryHold scanner(paths_.executable, 300);
    const MomentaryHold shortcutScanner(paths_.primaryShortcut, 900);
    const MomentaryHold unsharing(paths_.legacyShortcut, 1300, 0);
    ASSERT_TRUE(scanner.started() && shortcutScanner.started() && unsharing.started());
    RunRemove(paths_, Owned());
  }
  EXPECT_FALSE(Exists(paths_.targetDir));
  EXPECT_FALSE(Exists(paths_.primaryShortcut));
  EXPECT_FALSE(Exists(paths_.legacyShortcut));
  // A file that went while the wait lasted counts as deleted.
  EXPECT_TRUE(DeleteFileWaiting(paths_.executable));
}

TEST_F(RemoveTest, UserFilesAndStagedLeftoversStayWithTheDirectory) {
  WriteBytes(AppendPath(paths_.targetDir, L"notes.txt"), "mine");
  WriteBytes(paths_.executable + L".new", "half an update");
  RunRemove(paths_, Owned());
  EXPECT_EQ(ReadBytes(AppendPath(paths_.targetDir, L"notes.txt")), "mine");
  EXPECT_EQ(ReadBytes(paths_.executable + L".new"), "half an update");
  EXPECT_EQ(CountEntries(paths_.targetDir), 2);
  EXPECT_FALSE(Exists(paths_.primaryShortcut));
}

TEST_F(RemoveTest, AlreadyDeletedReadmeIsSkipped) {
  ASSERT_TRUE(DeleteFileW(paths_.readme.c_str()));
  RunRemove(paths_, Owned());
  EXPECT_FALSE(Exists(paths_.targetDir));
}

TEST_F(RemoveTest, ForeignShortcutKeepsItsPlace) {
  CreateShortcut(Path(L"Elsewhere\\Orvanta.exe"), paths_.primaryShortcut);
  CreateShortcut(Path(L"Elsewhere\\Orvanta.exe"), paths_.primaryShortcut + L".new");
  RunRemove(paths_, Owned());
  EXPECT_TRUE(Exists(paths_.primaryShortcut));
  EXPECT_TRUE(Exists(paths_.primaryShortcut + L".new"));
  EXPECT_FALSE(Exists(paths_.legacyShortcut));
  EXPECT_FALSE(Exists(paths_.targetDir));
}

}  // namespace
}  // namespace orvanta::test
