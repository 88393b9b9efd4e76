#include <gtest/gtest.h>

#include <functional>

#include "e2e/harness.h"
#include "e2e/scenario.h"

namespace orvanta::e2e {
namespace {

const std::wstring kConflict = L"The Orvanta shortcut belongs to another program";

std::wstring AsciiUpper(std::wstring text) {
  for (wchar_t& unit : text) {
    if (unit >= L'a' && unit <= L'z') unit = static_cast<wchar_t>(unit - L'a' + L'A');
  }
  return text;
}

class ShortcutTest : public testing::Test {
 protected:
  std::wstring Executable() const { return Join(target_, kExecutable); }
  std::wstring Elsewhere() const { return Join(profile_.localAppData(), L"Other\\Other.exe"); }

  Profile profile_;
  const std::wstring target_ = profile_.defaultTarget();
};

TEST_F(ShortcutTest, InstallCreatesOneShortcutThatStartsTheExecutable) {
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ListNames(profile_.programs()), std::vector<std::wstring>{L"Orvanta 演示计时器.lnk"});
  const auto link = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, Executable());
  EXPECT_EQ(link->workingDirectory, target_);
  EXPECT_EQ(link->iconPath, Executable());
  EXPECT_EQ(link->iconIndex, 0);
  EXPECT_EQ(link->description, L"Orvanta 演示计时器");
}

// Read back from the file through the link's property store, as the shell reads it.
TEST_F(ShortcutTest, SavedShortcutCarriesTheApplicationsAppUserModelId) {
  ASSERT_EQ(RunQuiet({}), 0u);
  const auto link = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(link);
  if (UnderWine() && link->appUserModelId.empty()) {
    GTEST_SKIP() << "Wine does not store the AppUserModelID in a link";
  }
  EXPECT_EQ(link->appUserModelId, L"Orvanta.Native");
}

TEST_F(ShortcutTest, ForeignPrimaryShortcutRefusesTheInstallUnlessShortcutsAreSkipped) {
  const std::wstring primary = profile_.primaryShortcut();
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"link to another program", [&] { WriteLink(primary, Elsewhere()); }},
      {"link storing no path",
       [&] {
         WriteRawLink(primary, "");
         const auto link = ReadLink(primary);
         EXPECT_TRUE(link && link->target.empty()) << "must load as a link without a path";
       }},
      {"file that is not a link",
       [&] {
         WriteBytes(primary, "not a shell link");
         EXPECT_FALSE(ReadLink(primary));
       }},
      {"directory", [&] { MakeDirectories(primary); }},
  };
  for (const auto& [name, plant] : cases) {
    SCOPED_TRACE(name);
    DeleteTree(target_);
    DeleteTree(primary);
    plant();
    ExpectRefusedUnchanged(profile_, {}, kConflict);

    const Tree menu = Snapshot(profile_.programs());
    const auto kept = ReadBytes(primary);
    EXPECT_EQ(RunQuiet({L"--no-shortcut"}), 0u);
    EXPECT_EQ(ReadBytes(Executable()), PayloadBytes(kExecutable));
    EXPECT_EQ(Snapshot(profile_.programs()), menu);
    EXPECT_EQ(ReadBytes(primary), kept);
  }
}

TEST_F(ShortcutTest, OwnShortcutStoredInAnotherSpellingIsReplacedWithTheExactPath) {
  const std::wstring exact = Executable();
  const std::vector<std::pair<const char*, std::wstring>> spellings = {
      {"ASCII upper case", AsciiUpper(exact)},
      {"forward slashes", Replaced(exact, L'\\', L"/")},
      {"doubled separators", Replaced(exact, L'\\', L"\\\\")},
      {"dot elements", Join(target_, L"sub\\..\\.\\Orvanta.exe")},
      {"extended-length prefix of an earlier version", L"\\\\?\\" + exact},
  };
  for (const auto& [name, stored] : spellings) {
    SCOPED_TRACE(name);
    ASSERT_NE(stored, exact);
    WriteRawLink(profile_.primaryShortcut(), Narrow(stored));
    const auto before = ReadLink(profile_.primaryShortcut());
    ASSERT_TRUE(before);
    ASSERT_EQ(before->target, stored) << "the link must store the spelling as written";

    EXPECT_EQ(RunQuiet({}), 0u);
    const auto after = ReadLink(profile_.primaryShortcut());
    ASSERT_TRUE(after);
    EXPECT_EQ(after->target, exact);
  }
}

// Only A to Z fold: Café in other case is another program's path, though the
// file system would open it; the same path in the same case is ours.
TEST_F(ShortcutTest, NonAsciiLettersInOtherCaseMakeTheShortcutForeign) {
  const std::wstring target = Join(profile_.localAppData(), L"Café\\Orvanta");
  const std::wstring exact = Join(target, kExecutable);
  const std::wstring otherCase = Replaced(exact, L'é', L"É");
  WriteLink(profile_.primaryShortcut(), otherCase);
  const auto stored = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(stored);
  ASSERT_EQ(stored->target, otherCase);
  ExpectRefusedUnchanged(profile_, {L"--target=" + target}, kConflict);

  WriteLink(profile_.primaryShortcut(), exact);
  EXPECT_EQ(RunQuiet({L"--target=" + target}), 0u);
  EXPECT_EQ(ReadBytes(exact), PayloadBytes(kExecutable));
}

TEST_F(ShortcutTest, EnvironmentVariableInTheStoredPathIsNotExpanded) {
  const ScopedEnvironment variable(L"ORVANTA_E2E_TARGET", target_);
  const std::string stored = "%ORVANTA_E2E_TARGET%\\Orvanta.exe";
  WriteRawLink(profile_.primaryShortcut(), stored);
  const auto link = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(link);
  ASSERT_EQ(Narrow(link->target), stored);
  ExpectRefusedUnchanged(profile_, {}, kConflict);
}

TEST_F(ShortcutTest, LegacyShortcutIsRetiredOnlyWhenItStartsTheExecutable) {
  WriteLink(profile_.legacyShortcut(), Executable());
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_FALSE(PathExists(profile_.legacyShortcut()));
  EXPECT_TRUE(PathExists(profile_.primaryShortcut()));

  WriteLink(profile_.legacyShortcut(), Elsewhere());
  const auto foreign = ReadBytes(profile_.legacyShortcut());
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(profile_.legacyShortcut()), foreign);
}

TEST_F(ShortcutTest, NoShortcutCreatesNothingAndKeepsTheLegacyShortcut) {
  WriteLink(profile_.legacyShortcut(), Executable());
  const Tree menu = Snapshot(profile_.programs());
  ASSERT_EQ(RunQuiet({L"--no-shortcut"}), 0u);
  EXPECT_EQ(ReadBytes(Executable()), PayloadBytes(kExecutable));
  EXPECT_EQ(Snapshot(profile_.programs()), menu);
}

TEST_F(ShortcutTest, TargetWithTrailingBackslashGivesCleanLinkPaths) {
  const std::wstring directory = Join(profile_.localAppData(), L"Trailing");
  ASSERT_EQ(RunQuiet({L"--target=" + directory + L"\\"}), 0u);
  const auto link = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, Join(directory, kExecutable));
  EXPECT_EQ(link->workingDirectory, directory);
  EXPECT_EQ(link->iconPath, Join(directory, kExecutable));
}

}  // namespace
}  // namespace orvanta::e2e
