#include <gtest/gtest.h>

#include "base/errors.h"
#include "base/exists.h"
#include "base/text.h"
#include "component/fixture.h"
#include "install/directories.h"

namespace orvanta::test {
namespace {

using ExistsTest = ComponentTest;

TEST_F(ExistsTest, AnyEntryCountsAndAbsenceIsNoError) {
  WriteBytes(Path(L"file.txt"), "x");
  ASSERT_TRUE(CreateDirectoryW(Path(L"sub").c_str(), nullptr));
  EXPECT_TRUE(Exists(Path(L"file.txt")));
  EXPECT_TRUE(Exists(Path(L"sub")));
  EXPECT_FALSE(Exists(Path(L"absent.txt")));
  EXPECT_FALSE(Exists(Path(L"missing\\parent\\file.txt")));
}

using CreateDirectoryChainTest = ComponentTest;

TEST_F(CreateDirectoryChainTest, CreatesEveryMissingAncestor) {
  const std::wstring deep = Path(L"a\\b\\c\\d");
  CreateDirectoryChain(deep);
  EXPECT_TRUE(IsDirectory(deep));
}

TEST_F(CreateDirectoryChainTest, AcceptsExistingDirectoryAndKeepsItsContent) {
  const std::wstring existing = Path(L"existing");
  CreateDirectoryChain(existing);
  WriteBytes(existing + L"\\keep.txt", "keep");
  CreateDirectoryChain(existing);
  EXPECT_EQ(ReadBytes(existing + L"\\keep.txt"), "keep");
}

TEST_F(CreateDirectoryChainTest, AcceptsTrailingBackslash) {
  CreateDirectoryChain(Path(L"x\\y\\"));
  EXPECT_TRUE(IsDirectory(Path(L"x\\y")));
}

TEST_F(CreateDirectoryChainTest, FileInTheWayRaisesErrorWithSystemMessageAndPath) {
  const std::wstring target = Path(L"Orvanta");
  WriteBytes(target, "a file, not a directory");
  try {
    CreateDirectoryChain(target);
    FAIL() << "no error raised";
  } catch (const FilesystemError& error) {
    EXPECT_EQ(error.code(), static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
    const std::string expected = "create_directories: " + SystemMessage(error.code()) + ": \"" +
                                 NarrowFileText(target) + "\"";
    EXPECT_EQ(error.what(), expected);
  }
  EXPECT_EQ(ReadBytes(target), "a file, not a directory");
}

TEST(SystemMessageTest, AlreadyExistsHasARealMessage) {
  const std::string message = SystemMessage(ERROR_ALREADY_EXISTS);
  EXPECT_FALSE(message.empty());
  EXPECT_NE(message, "unknown error");
  EXPECT_NE(message.back(), '\n');
}

}  // namespace
}  // namespace orvanta::test
