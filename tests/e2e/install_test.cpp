#include <gtest/gtest.h>

#include <cstdio>

#include "e2e/harness.h"

namespace orvanta::e2e {
namespace {

const std::vector<std::wstring> kInstalledNames = {L"Orvanta-Native.install", L"Orvanta.exe",
                                                   L"README.md"};

class InstallTest : public testing::Test {
 protected:
  std::wstring InTarget(const wchar_t* name) const {
    return profile_.defaultTarget() + L"\\" + name;
  }

  Profile profile_;
};

TEST_F(InstallTest, ConfirmedInstallWritesPayloadAndOffersToStart) {
  SetupRun run({});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  EXPECT_EQ(confirmation->title, L"Orvanta 安装");
  EXPECT_EQ(confirmation->text, InstallConfirmation(profile_.defaultTarget()));
  EXPECT_TRUE(confirmation->Has(IDOK) && confirmation->Has(IDCANCEL));
  confirmation->Press(IDOK);

  auto completion = run.NextDialog();
  ASSERT_TRUE(completion);
  EXPECT_EQ(completion->title, L"Orvanta");
  EXPECT_EQ(completion->text, L"安装完成。立即启动 Orvanta？");
  EXPECT_TRUE(completion->Has(IDYES) && completion->Has(IDNO));
  completion->Press(IDNO);
  EXPECT_EQ(run.ExitCode(), 0u);

  EXPECT_EQ(ReadBytes(InTarget(L"README.md")), PayloadBytes(L"README.md"));
  EXPECT_EQ(ReadBytes(InTarget(L"Orvanta.exe")), PayloadBytes(L"Orvanta.exe"));
  EXPECT_EQ(ListNames(profile_.defaultTarget()), kInstalledNames) << "a staged file was left";
  EXPECT_FALSE(ApplicationRuns(InTarget(L"Orvanta.exe"))) << "No must not start the application";
}

// A second run with dialogs shows its wait by bringing the first run's
// confirmation to the front, and runs once the first has ended.
TEST_F(InstallTest, SecondRunBringsTheOpenConfirmationToTheFrontAndWaits) {
  SetupRun first({});
  const auto confirmation = first.NextDialog();
  ASSERT_TRUE(confirmation);
  const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                     200, 100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(SetForegroundWindow(other) && GetForegroundWindow() == other);
  SetupRun second({});
  const ULONGLONG start = GetTickCount64();
  for (MSG message;
       GetForegroundWindow() != confirmation->window && GetTickCount64() - start < kHangMs;
       Sleep(20)) {
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  EXPECT_EQ(GetForegroundWindow(), confirmation->window);
  std::printf("at the front %llu ms after the second run started\n", GetTickCount64() - start);
  confirmation->Press(IDCANCEL);
  EXPECT_EQ(first.ExitCode(), 0u);
  const auto own = second.NextDialog();
  ASSERT_TRUE(own);
  EXPECT_EQ(own->title, L"Orvanta 安装");
  own->Press(IDCANCEL);
  EXPECT_EQ(second.ExitCode(), 0u);
  DestroyWindow(other);
}

TEST_F(InstallTest, ReadmeIsInstalledWithItsCrLfLinesAndNoByteOrderMark) {
  const std::string staged = PayloadBytes(L"README.md");
  ASSERT_FALSE(staged.starts_with("\xEF\xBB\xBF"));
  ASSERT_NE(staged.find("\r\n"), std::string::npos);
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(InTarget(L"README.md")), staged);
}

TEST_F(InstallTest, RemoveConfirmationNamesTheTargetUnderTheSameTitle) {
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ConfirmationDialogText({L"--remove"}),
            L"移除 Orvanta？\n" + profile_.defaultTarget() + kClosingNote);
  EXPECT_EQ(ListNames(profile_.defaultTarget()), kInstalledNames);
  EXPECT_TRUE(PathExists(profile_.primaryShortcut()));
}

// The Start-menu folder is broken, so merely asking for it would end in the
// failure dialog: a declined run must not get that far.
TEST_F(InstallTest, CancelEndsWithNothingWrittenAndNoStartMenuLookup) {
  profile_.BreakPrograms();
  SetupRun run({});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  confirmation->Press(IDCANCEL);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(ListNames(profile_.localAppData()), std::vector<std::wstring>{});
}

TEST_F(InstallTest, ClosingTheConfirmationEndsLikeCancel) {
  profile_.BreakPrograms();
  SetupRun run({});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  confirmation->Close();
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(ListNames(profile_.localAppData()), std::vector<std::wstring>{});
}

TEST_F(InstallTest, YesStartsTheApplicationInTheTargetDirectory) {
  SetupRun run({});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  confirmation->Press(IDOK);
  auto completion = run.NextDialog();
  ASSERT_TRUE(completion);
  completion->Press(IDYES);
  EXPECT_EQ(run.ExitCode(), 0u);
  const auto started = WaitForApplicationAndClose();
  ASSERT_TRUE(started) << "the application did not start";
  EXPECT_EQ(started->workingDirectory, profile_.defaultTarget());
  EXPECT_EQ(started->imagePath, InTarget(L"Orvanta.exe"));
  // An elevated run (every run under Wine) has the desktop's shell start it
  // as the desktop's user; a plain run starts it itself.
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  ASSERT_TRUE(GetTokenInformation(GetCurrentProcessToken(), TokenElevation, &elevation,
                                  sizeof(elevation), &size));
  EXPECT_EQ(started->parentId == run.processId(), elevation.TokenIsElevated == 0)
      << "started by the setup run: " << (started->parentId == run.processId());
}

TEST_F(InstallTest, QuietInstallShowsNoDialogAndStartsNothing) {
  EXPECT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(InTarget(L"Orvanta.exe")), PayloadBytes(L"Orvanta.exe"));
  EXPECT_TRUE(PathExists(profile_.primaryShortcut()));
  EXPECT_FALSE(ApplicationRuns(InTarget(L"Orvanta.exe")))
      << "a quiet install started the application";
}

TEST_F(InstallTest, UpdateOverOwnedInstallReplacesBothFiles) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteBytes(InTarget(L"README.md"), "old read-me\r\n");
  WriteBytes(InTarget(L"Orvanta.exe"), "old executable");
  EXPECT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(InTarget(L"README.md")), PayloadBytes(L"README.md"));
  EXPECT_EQ(ReadBytes(InTarget(L"Orvanta.exe")), PayloadBytes(L"Orvanta.exe"));
  EXPECT_EQ(ListNames(profile_.defaultTarget()), kInstalledNames);
}

// The running application holds its image: the read-me, deployed first, is
// new, everything from the executable on is as before.
TEST_F(InstallTest, HeldExecutableFailsTheUpdateAfterTheReadme) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteBytes(InTarget(L"README.md"), "old read-me\r\n");
  WriteBytes(InTarget(L"Orvanta.exe"), "old executable");
  const auto marker = ReadBytes(InTarget(L"Orvanta-Native.install"));
  ASSERT_TRUE(marker);
  ASSERT_TRUE(DeleteFileW(profile_.primaryShortcut().c_str()));
  {
    const HeldFile running(InTarget(L"Orvanta.exe"));
    EXPECT_EQ(FailureTextAfterConfirming({}),
              L"Cannot install file; close Orvanta before updating");
  }
  EXPECT_EQ(ReadBytes(InTarget(L"README.md")), PayloadBytes(L"README.md"));
  EXPECT_EQ(ReadBytes(InTarget(L"Orvanta.exe")), "old executable");
  EXPECT_EQ(ReadBytes(InTarget(L"Orvanta-Native.install")), marker);
  EXPECT_EQ(ListNames(profile_.defaultTarget()), kInstalledNames) << "a staged file was left";
  EXPECT_FALSE(PathExists(profile_.primaryShortcut()));
}

// The options have not been read when the folder is asked for.
TEST_F(InstallTest, MissingLocalAppDataIsShownEvenWhenQuiet) {
  profile_.BreakLocalAppData();
  EXPECT_EQ(FailureDialogText({L"--quiet"}), L"Cannot locate user folder");
}

TEST_F(InstallTest, MissingStartMenuFolderFailsAfterConfirmation) {
  profile_.BreakPrograms();
  for (const std::vector<std::wstring>& arguments :
       {std::vector<std::wstring>{}, std::vector<std::wstring>{L"--no-shortcut"}}) {
    SCOPED_TRACE(testing::Message() << "arguments: " << arguments.size());
    EXPECT_EQ(FailureTextAfterConfirming(arguments), L"Cannot locate user folder");
    EXPECT_FALSE(PathExists(profile_.defaultTarget()));
  }
}

}  // namespace
}  // namespace orvanta::e2e
