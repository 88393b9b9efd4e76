#include <gtest/gtest.h>

#include "e2e/harness.h"

namespace orvanta::e2e {
namespace {

const std::wstring kClosingNote = L"\n\n无需额外运行时。配置独立保存在当前用户目录。";

class InstallTest : public testing::Test {
 protected:
  Profile profile_;
};

TEST_F(InstallTest, ConfirmedInstallWritesPayloadAndOffersToStart) {
  SetupRun run({});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  EXPECT_EQ(confirmation->title, L"Orvanta 安装");
  EXPECT_EQ(confirmation->text, L"安装 Orvanta 到：\n" + profile_.defaultTarget() + kClosingNote);
  EXPECT_TRUE(confirmation->Has(IDOK) && confirmation->Has(IDCANCEL));
  confirmation->Press(IDOK);

  auto completion = run.NextDialog();
  ASSERT_TRUE(completion);
  EXPECT_EQ(completion->title, L"Orvanta");
  EXPECT_EQ(completion->text, L"安装完成。立即启动 Orvanta？");
  EXPECT_TRUE(completion->Has(IDYES) && completion->Has(IDNO));
  completion->Press(IDNO);
  EXPECT_EQ(run.ExitCode(), 0u);

  const std::wstring target = profile_.defaultTarget();
  EXPECT_EQ(ReadBytes(target + L"\\README.md"), PayloadBytes(L"README.md"));
  EXPECT_EQ(ReadBytes(target + L"\\Orvanta.exe"), PayloadBytes(L"Orvanta.exe"));
  EXPECT_EQ(ListNames(target),
            (std::vector<std::wstring>{L"Orvanta-Native.install", L"Orvanta.exe", L"README.md"}));
  EXPECT_FALSE(WaitForApplicationAndClose(1500)) << "No must not start the application";
}

TEST_F(InstallTest, CancelEndsWithNothingWritten) {
  SetupRun run({});
  auto confirmation = run.NextDialog();
  ASSERT_TRUE(confirmation);
  confirmation->Press(IDCANCEL);
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_EQ(ListNames(profile_.localAppData()), std::vector<std::wstring>{});
  EXPECT_EQ(ListNames(profile_.programs()), std::vector<std::wstring>{});
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
  EXPECT_EQ(started->imagePath, profile_.defaultTarget() + L"\\Orvanta.exe");
}

TEST_F(InstallTest, QuietInstallShowsNoDialog) {
  EXPECT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(profile_.defaultTarget() + L"\\Orvanta.exe"), PayloadBytes(L"Orvanta.exe"));
  EXPECT_TRUE(PathExists(profile_.primaryShortcut()));
}

TEST_F(InstallTest, UnknownArgumentShowsTheFailureDialog) {
  SetupRun run({L"--bogus", L"--quiet"});
  auto failure = run.NextDialog();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->title, L"Orvanta 安装失败");
  EXPECT_EQ(failure->text, L"Unknown setup argument");
  EXPECT_TRUE(failure->Has(IDOK));
  EXPECT_FALSE(failure->Has(IDCANCEL));
  failure->Press(IDOK);
  EXPECT_EQ(run.ExitCode(), 1u);
}

}  // namespace
}  // namespace orvanta::e2e
