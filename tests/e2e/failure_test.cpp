#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "e2e/harness.h"

namespace orvanta::e2e {
namespace {

// What making a directory at this path fails with, asked of the system itself.
DWORD CreateDirectoryError(const std::wstring& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) {
    RemoveDirectoryW(path.c_str());
    return ERROR_SUCCESS;
  }
  return GetLastError();
}

std::wstring UsEnglishSystemMessage(DWORD code) {
  char* buffer = nullptr;
  constexpr DWORD kUsEnglish = 0x0409;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, kUsEnglish, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string message(buffer != nullptr ? buffer : "", length);
  LocalFree(buffer);
  const auto end = message.find_last_not_of(std::string(" \t\r\n\0", 5));
  message.resize(end == std::string::npos ? 0 : end + 1);
  // English system messages are ASCII: one byte is one unit.
  return std::wstring(message.begin(), message.end());
}

// A target that names an existing file cannot be made a directory.
std::wstring ExpectedCreateDirectoriesText(const std::wstring& file) {
  const DWORD code = CreateDirectoryError(file);
  EXPECT_NE(code, static_cast<DWORD>(ERROR_SUCCESS));
  const std::wstring message = UsEnglishSystemMessage(code);
  EXPECT_FALSE(message.empty()) << "no English text for error " << code;
  return L"create_directories: " + message + L": \"" + file + L"\"";
}

TEST(FailureTextTest, FilesystemErrorNamesOperationSystemMessageAndPath) {
  const Profile profile;
  const std::wstring file = profile.root() + L"\\Taken";
  WriteBytes(file, "not a directory");
  const std::wstring expected = ExpectedCreateDirectoriesText(file);
  EXPECT_EQ(FailureTextAfterConfirming({L"--no-shortcut", L"--target=" + file}), expected);
  EXPECT_EQ(ReadBytes(file), "not a directory");
}

// A trailing blank and device names in folders the run would make: the first
// only the extended form keeps, the system turns the second into \\.\NUL, and
// Windows 10 takes the third for the console.
TEST(FailureTextTest, NamesExplorerCannotHandleAreRefusedBeforeTheConfirmation) {
  const Profile profile;
  const std::wstring message = UsEnglishSystemMessage(ERROR_INVALID_NAME);
  for (const std::wstring name : {L"My Apps \\Orvanta", L"NUL", L"con.txt\\Orv"}) {
    const std::wstring target = profile.root() + L"\\" + name;
    SCOPED_TRACE(testing::PrintToString(target));
    EXPECT_EQ(FailureDialogText({L"--target=" + target}),
              L"absolute: " + message + L": \"" + target + L"\"");
  }
  EXPECT_FALSE(PathExists(profile.root() + L"\\My Apps "));
  EXPECT_FALSE(PathExists(L"\\\\?\\" + profile.root() + L"\\con.txt"));
}

// Under Wine the entry gives the process a Chinese locale; on Windows only a
// machine set to that code page can run these.
class ChineseSystemTest : public testing::Test {
 protected:
  void SetUp() override {
    if (GetACP() == 936u) return;
    ASSERT_FALSE(UnderWine()) << "the Chinese locale did not reach Wine";
    GTEST_SKIP() << "the system code page is " << GetACP() << ", not 936 (Chinese)";
  }

  Profile profile_{L"演示用户"};
};

TEST_F(ChineseSystemTest, FailureDialogReadsAChinesePathBack) {
  const std::wstring file = profile_.localAppData() + L"\\演示文件";
  WriteBytes(file, "not a directory");
  const std::wstring expected = ExpectedCreateDirectoriesText(file);
  EXPECT_EQ(FailureTextAfterConfirming({L"--target=" + file}), expected);
}

TEST_F(ChineseSystemTest, QuietInstallAndRemovalBelowAChineseFolder) {
  const std::wstring target = profile_.defaultTarget();
  ASSERT_NE(target.find(L"演示用户"), std::wstring::npos);
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(target + L"\\Orvanta.exe"), PayloadBytes(L"Orvanta.exe"));
  EXPECT_EQ(ReadBytes(target + L"\\README.md"), PayloadBytes(L"README.md"));
  const auto link = ReadLink(profile_.primaryShortcut());
  ASSERT_TRUE(link);
  EXPECT_EQ(link->target, target + L"\\Orvanta.exe");

  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  EXPECT_FALSE(PathExists(target));
  EXPECT_FALSE(PathExists(profile_.primaryShortcut()));
}

}  // namespace
}  // namespace orvanta::e2e
