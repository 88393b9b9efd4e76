#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/harness.h"
#include "e2e/scenario.h"

namespace orvanta::e2e {
namespace {

class CommandLineTest : public testing::Test {
 protected:
  bool Installed(const std::wstring& target) const {
    return ReadBytes(target + L"\\Orvanta.exe") == PayloadBytes(L"Orvanta.exe");
  }

  Profile profile_;
};

TEST_F(CommandLineTest, RepeatedQuietMeansQuiet) {
  EXPECT_EQ(RunQuiet({L"--quiet"}), 0u);
  EXPECT_TRUE(Installed(profile_.defaultTarget()));
}

TEST_F(CommandLineTest, LastTargetWins) {
  const std::wstring first = profile_.root() + L"\\First";
  const std::wstring second = profile_.root() + L"\\Second";
  EXPECT_EQ(RunQuiet({L"--target=" + first, L"--target=" + second}), 0u);
  EXPECT_TRUE(Installed(second));
  EXPECT_FALSE(PathExists(first));
  EXPECT_FALSE(PathExists(profile_.defaultTarget()));
}

TEST_F(CommandLineTest, QuotedTargetKeepsItsBlank) {
  const std::wstring target = profile_.root() + L"\\With Blank";
  EXPECT_EQ(RunQuiet({L"--target=" + target}), 0u);
  EXPECT_TRUE(Installed(target));
  EXPECT_FALSE(PathExists(profile_.root() + L"\\With"));
}

TEST_F(CommandLineTest, RelativeTargetResolvesAgainstTheCurrentDirectory) {
  const std::wstring current = profile_.root();
  EXPECT_EQ(ConfirmationDialogText({L"--target=."}, current), InstallConfirmation(current));
  EXPECT_EQ(ConfirmationDialogText({L"--target=sub"}, current),
            InstallConfirmation(current + L"\\sub"));
  SetupRun run({L"--quiet", L"--target=sub"}, current);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(Installed(current + L"\\sub"));
}

TEST_F(CommandLineTest, RootsAndEmptyTargetAreRefused) {
  for (const std::wstring value :
       {L"", L"C:\\", L"C:/", L"C:\\..", L"\\\\?\\C:\\", L"\\\\.\\C:\\"}) {
    SCOPED_TRACE(testing::PrintToString(value));
    EXPECT_EQ(FailureDialogText({L"--target=" + value}), L"A drive root cannot be used");
  }
  EXPECT_EQ(ListNames(profile_.localAppData()), std::vector<std::wstring>{});
}

TEST_F(CommandLineTest, TrailingBackslashIsKeptWithoutDoublingIt) {
  const std::wstring target = profile_.root() + L"\\Apps\\Orvanta\\";
  EXPECT_EQ(ConfirmationDialogText({L"--target=" + target}), InstallConfirmation(target));
  ASSERT_EQ(RunQuiet({L"--target=" + target}), 0u);
  const std::wstring executable = target + L"Orvanta.exe";
  EXPECT_EQ(ReadBytes(executable), PayloadBytes(L"Orvanta.exe"));
  const auto link = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, executable);
}

TEST_F(CommandLineTest, SeparatorsAndDotsAreNormalisedInTheConfirmation) {
  const std::wstring root = profile_.root();
  const std::wstring written = Replaced(root, L'\\', L"/") + L"/Apps//Orvanta/./Sub";
  EXPECT_EQ(ConfirmationDialogText({L"--target=" + written}),
            InstallConfirmation(root + L"\\Apps\\Orvanta\\Sub"));
}

TEST_F(CommandLineTest, UnknownArgumentsAreRefusedBeforeAnythingHappens) {
  const std::wstring target = profile_.root() + L"\\Elsewhere";
  for (const std::wstring& argument :
       {std::wstring(L"--Quiet"), L"--target" + target, std::wstring(L"-quiet"),
        std::wstring(L"--quiet=1"), target, std::wstring()}) {
    SCOPED_TRACE(testing::PrintToString(argument));
    EXPECT_EQ(FailureDialogText({argument}), L"Unknown setup argument");
  }
  EXPECT_FALSE(PathExists(target));
  EXPECT_EQ(ListNames(profile_.localAppData()), std::vector<std::wstring>{});
  EXPECT_EQ(ListNames(profile_.programs()), std::vector<std::wstring>{});
}

TEST_F(CommandLineTest, QuietLeftOfAnUnknownArgumentSilencesTheFailure) {
  SetupRun run({L"--quiet", L"--bogus"});
  EXPECT_EQ(run.ExitCode(), 1u);
  EXPECT_FALSE(run.sawDialog());
}

TEST_F(CommandLineTest, QuietRightOfAnUnknownArgumentIsNotRead) {
  EXPECT_EQ(FailureDialogText({L"--bogus", L"--quiet"}), L"Unknown setup argument");
}

}  // namespace
}  // namespace orvanta::e2e
