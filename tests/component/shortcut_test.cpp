#include "shell/shortcut.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "base/exists.h"
#include "base/text.h"
#include "component/fixture.h"
#include "raw_link.h"
#include "shared/shell_link.h"

namespace orvanta::test {
namespace {

class ShortcutTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW(Path(L"App").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Path(L"Programs").c_str(), nullptr));
    paths_.targetDir = Path(L"App");
    paths_.executable = Path(L"App\\Orvanta.exe");
    const ShortcutPaths shortcuts = ShortcutPathsIn(Path(L"Programs"));
    paths_.primaryShortcut = shortcuts.primary;
    paths_.legacyShortcut = shortcuts.legacy;
  }

  const std::wstring& Exe() const { return paths_.executable; }
  std::string NarrowExe() const { return NarrowFileText(Exe()); }
  std::wstring Link(std::wstring_view name) const { return Path(name); }

  InstallPaths paths_;
};

TEST_F(ShortcutTest, CreatedShortcutLoadsBackWithEveryProperty) {
  CreateShortcut(Exe(), paths_.primaryShortcut);
  const std::optional<LinkFields> link = ReadLink(paths_.primaryShortcut);
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->target, Exe());
  EXPECT_EQ(link->workingDirectory, Path(L"App"));
  EXPECT_EQ(link->iconPath, Exe());
  EXPECT_EQ(link->iconIndex, 0);
  EXPECT_EQ(link->description, L"Orvanta 演示计时器");
  EXPECT_EQ(paths_.primaryShortcut, Path(L"Programs\\Orvanta 演示计时器.lnk"));
}

TEST_F(ShortcutTest, WorkingDirectoryDropsTrailingSeparators) {
  CreateShortcut(Path(L"App\\\\Orvanta.exe"), Link(L"doubled.lnk"));
  EXPECT_EQ(ReadLink(Link(L"doubled.lnk")).value().workingDirectory, Path(L"App"));
  CreateShortcut(Path(L"App\\Sub\\"), Link(L"trailing.lnk"));
  EXPECT_EQ(ReadLink(Link(L"trailing.lnk")).value().workingDirectory, Path(L"App\\Sub"));
}

TEST_F(ShortcutTest, CreateShortcutReplacesExistingFile) {
  WriteBytes(paths_.primaryShortcut, "not a link");
  CreateShortcut(Exe(), paths_.primaryShortcut);
  EXPECT_EQ(ReadLink(paths_.primaryShortcut).value().target, Exe());
}

TEST_F(ShortcutTest, SaveIntoMissingFolderFails) {
  EXPECT_EQ(SetupErrorText([&] { CreateShortcut(Exe(), Path(L"absent\\x.lnk")); }),
            "Cannot save shortcut");
}

// A link stores fewer than MAX_PATH characters of target; a longer one could
// never be recognised as ours again, so it is not saved at all.
TEST_F(ShortcutTest, TargetTooLongForALinkIsNotSaved) {
  const auto exeOfLength = [&](std::size_t length) {
    const std::wstring folder = Path(L"App\\");
    return folder + std::wstring(length - folder.size() - 4, L'x') + L".exe";
  };
  const std::wstring longest = exeOfLength(MAX_PATH - 1);
  CreateShortcut(longest, Link(L"longest.lnk"));
  EXPECT_TRUE(ShortcutPointsAt(Link(L"longest.lnk"), longest));
  EXPECT_EQ(SetupErrorText([&] { CreateShortcut(exeOfLength(MAX_PATH), Link(L"long.lnk")); }),
            "Cannot save shortcut");
  EXPECT_FALSE(Exists(Link(L"long.lnk")));
}

TEST_F(ShortcutTest, StoredTargetMatchesSpellingsOfTheSamePath) {
  std::string upper = NarrowExe();
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
  std::string slashes = NarrowExe();
  std::replace(slashes.begin(), slashes.end(), '\\', '/');
  std::string doubled;
  for (char c : NarrowExe()) doubled += c == '\\' ? std::string("\\\\") : std::string(1, c);
  const std::string dots = NarrowFileText(Path(L"App\\Sub\\..\\.\\Orvanta.exe"));
  for (const std::string& stored : {upper, slashes, doubled, dots}) {
    WriteBytes(Link(L"spelling.lnk"), RawLinkBytes(stored));
    // Wine gives the stored text back, so there each spelling reaches the
    // comparison; Windows rebuilds the path it gives, and there this shows
    // only that the rebuilt path matches.
    if (UnderWine()) {
      ASSERT_EQ(ReadLink(Link(L"spelling.lnk")).value().target, WidenFileText(stored));
    }
    EXPECT_TRUE(ShortcutPointsAt(Link(L"spelling.lnk"), Exe())) << stored;
  }
}

TEST_F(ShortcutTest, OtherTargetDoesNotMatch) {
  WriteBytes(Link(L"other.lnk"), RawLinkBytes(NarrowFileText(Path(L"Other\\Orvanta.exe"))));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"other.lnk"), Exe()));
  WriteBytes(Link(L"prefix.lnk"), RawLinkBytes(NarrowFileText(Path(L"App\\Orvanta.ex"))));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"prefix.lnk"), Exe()));
}

// Only A to Z fold: an accented letter in other case makes another path.
TEST_F(ShortcutTest, NonAsciiLettersDifferingInCaseDoNotMatch) {
  const std::wstring stored = Path(L"\u00C9lise\\Orvanta.exe");
  CreateShortcut(stored, Link(L"accent.lnk"));
  ASSERT_TRUE(ShortcutPointsAt(Link(L"accent.lnk"), stored));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"accent.lnk"), Path(L"\u00E9lise\\Orvanta.exe")));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"accent.lnk"), Path(L"Elise\\Orvanta.exe")));
}

TEST_F(ShortcutTest, EnvironmentVariableIsComparedUnexpanded) {
  ASSERT_TRUE(SetEnvironmentVariableW(L"ORVANTA_TEST_DIR", dir().c_str()));
  const std::wstring stored = L"%ORVANTA_TEST_DIR%\\App\\Orvanta.exe";
  wchar_t expanded[MAX_PATH] = {};
  ASSERT_NE(ExpandEnvironmentStringsW(stored.c_str(), expanded, MAX_PATH), 0u);
  ASSERT_EQ(expanded, Exe());
  WriteBytes(Link(L"variable.lnk"), RawLinkBytes(NarrowFileText(stored)));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"variable.lnk"), Exe()));
  SetEnvironmentVariableW(L"ORVANTA_TEST_DIR", nullptr);
}

TEST_F(ShortcutTest, OnlyShellLinksCanMatch) {
  WriteBytes(Link(L"text.lnk"), NarrowExe());
  WriteBytes(Link(L"empty.lnk"), "");
  ASSERT_TRUE(CreateDirectoryW(Link(L"folder.lnk").c_str(), nullptr));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"text.lnk"), Exe()));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"empty.lnk"), Exe()));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"folder.lnk"), Exe()));
  EXPECT_FALSE(ShortcutPointsAt(Link(L"absent.lnk"), Exe()));
}

TEST_F(ShortcutTest, MatchNeedsNoExecutable) {
  WriteBytes(Exe(), "MZ");
  CreateShortcut(Exe(), paths_.primaryShortcut);
  ASSERT_TRUE(ShortcutPointsAt(paths_.primaryShortcut, Exe()));
  ASSERT_TRUE(DeleteFileW(Exe().c_str()));
  EXPECT_TRUE(ShortcutPointsAt(paths_.primaryShortcut, Exe()));
}

TEST_F(ShortcutTest, ConflictCheckPassesAbsentOrOwnShortcut) {
  EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), "<no error>");
  CreateShortcut(Exe(), paths_.primaryShortcut);
  EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), "<no error>");
  // A scanner that shares nothing, for a moment.
  const MomentaryHold scanner(paths_.primaryShortcut, 300, 0);
  ASSERT_TRUE(scanner.started());
  EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), "<no error>");
}

TEST_F(ShortcutTest, ConflictCheckRefusesAnythingElseAtThePrimaryPath) {
  constexpr char kForeign[] = "The Orvanta shortcut belongs to another program";
  CreateShortcut(Path(L"Other\\Orvanta.exe"), paths_.primaryShortcut);
  EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), kForeign);
  WriteBytes(paths_.primaryShortcut, "not a link");
  EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), kForeign);
  CreateShortcut(Exe(), paths_.primaryShortcut);
  {
    // Our own link, unreadable for longer than a hold is waited out.
    const FileHandle held(OpenHeld(paths_.primaryShortcut, GENERIC_READ, 0));
    ASSERT_TRUE(held.valid());
    EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), kForeign);
  }
  ASSERT_TRUE(DeleteFileW(paths_.primaryShortcut.c_str()));
  ASSERT_TRUE(CreateDirectoryW(paths_.primaryShortcut.c_str(), nullptr));
  EXPECT_EQ(SetupErrorText([&] { CheckShortcutConflict(paths_); }), kForeign);
}

TEST_F(ShortcutTest, PlacementRetiresOwnLegacyShortcut) {
  CreateShortcut(Exe(), paths_.legacyShortcut);
  PlaceShortcut(paths_);
  EXPECT_TRUE(ShortcutPointsAt(paths_.primaryShortcut, Exe()));
  EXPECT_FALSE(Exists(paths_.legacyShortcut));
}

TEST_F(ShortcutTest, PlacementKeepsForeignLegacyShortcut) {
  CreateShortcut(Path(L"Other\\Orvanta.exe"), paths_.legacyShortcut);
  PlaceShortcut(paths_);
  EXPECT_TRUE(ShortcutPointsAt(paths_.primaryShortcut, Exe()));
  EXPECT_EQ(ReadLink(paths_.legacyShortcut).value().target, Path(L"Other\\Orvanta.exe"));
}

TEST_F(ShortcutTest, LegacyShortcutStaysWhenPrimaryCannotBeSaved) {
  paths_.primaryShortcut = Path(L"absent\\Orvanta 演示计时器.lnk");
  CreateShortcut(Exe(), paths_.legacyShortcut);
  EXPECT_EQ(SetupErrorText([&] { PlaceShortcut(paths_); }), "Cannot save shortcut");
  EXPECT_TRUE(ShortcutPointsAt(paths_.legacyShortcut, Exe()));
}

}  // namespace
}  // namespace orvanta::test
