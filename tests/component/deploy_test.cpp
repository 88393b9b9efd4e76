#include "install/deploy.h"

#include <gtest/gtest.h>

#include "component/fixture.h"

namespace orvanta::test {
namespace {

// Ids of this test program's own resource table besides 201 and 202.
constexpr std::uint16_t kAbsentResource = 203;
constexpr std::uint16_t kEmptyResource = 204;

constexpr char kReplaceFailure[] = "Cannot install file; close Orvanta before updating";

class DeployResourceTest : public ComponentTest {
 protected:
  std::wstring Destination() const { return Path(L"Orvanta.exe"); }
  std::wstring Staged() const { return Destination() + L".new"; }
};

TEST_F(DeployResourceTest, FirstInstallWritesResourceByteForByte) {
  DeployResource(kApplicationResource, Destination());
  EXPECT_EQ(ReadBytes(Destination()), PayloadBytes("app.bin"));
  EXPECT_FALSE(ReadBytes(Staged())) << "staged file left behind";
}

TEST_F(DeployResourceTest, ReadmeKeepsCrLfAndGainsNoByteOrderMark) {
  const std::string expected = PayloadBytes("readme.md");
  ASSERT_NE(expected.find("\r\n"), std::string::npos);
  DeployResource(kReadmeResource, Path(L"README.md"));
  const auto written = ReadBytes(Path(L"README.md"));
  ASSERT_TRUE(written);
  EXPECT_EQ(*written, expected);
  EXPECT_NE(written->substr(0, 3), "\xEF\xBB\xBF");
}

TEST_F(DeployResourceTest, UpdateReplacesDestinationAsAWhole) {
  WriteBytes(Destination(), "old payload");
  // A second name for the old file keeps seeing it unchanged: the new content
  // arrives by rename, never by writing into the destination.
  const std::wstring oldName = Path(L"old-name.exe");
  ASSERT_TRUE(CreateHardLinkW(oldName.c_str(), Destination().c_str(), nullptr));
  DeployResource(kApplicationResource, Destination());
  EXPECT_EQ(ReadBytes(oldName), "old payload");
  EXPECT_EQ(ReadBytes(Destination()), PayloadBytes("app.bin"));
}

TEST_F(DeployResourceTest, LeftoverStagedFileIsOverwrittenFromTheStart) {
  const std::string readme = PayloadBytes("readme.md");
  WriteBytes(Staged(), std::string(readme.size() * 4, 'x'));
  DeployResource(kReadmeResource, Destination());
  EXPECT_EQ(ReadBytes(Destination()), readme);
  EXPECT_FALSE(ReadBytes(Staged()));
}

TEST_F(DeployResourceTest, HeldDestinationKeepsOldContentAndDropsStagedFile) {
  WriteBytes(Destination(), "running application");
  {
    const FileHandle running(OpenHeld(Destination(), GENERIC_READ, 0));
    ASSERT_TRUE(running.valid());
    EXPECT_EQ(SetupErrorText([&] { DeployResource(kApplicationResource, Destination()); }),
              kReplaceFailure);
    EXPECT_FALSE(ReadBytes(Staged())) << "staged file left behind";
  }
  EXPECT_EQ(ReadBytes(Destination()), "running application");
}

TEST_F(DeployResourceTest, MomentaryHoldIsWaitedOut) {
  WriteBytes(Destination(), "old payload");
  {
    const MomentaryHold scanner(Destination(), 300);
    ASSERT_TRUE(scanner.started());
    DeployResource(kApplicationResource, Destination());
  }
  EXPECT_EQ(ReadBytes(Destination()), PayloadBytes("app.bin"));
}

TEST_F(DeployResourceTest, MissingDirectoryCannotStage) {
  const std::wstring destination = Path(L"absent\\Orvanta.exe");
  EXPECT_EQ(SetupErrorText([&] { DeployResource(kApplicationResource, destination); }),
            "Cannot stage file");
  EXPECT_FALSE(IsDirectory(Path(L"absent")));
  EXPECT_EQ(CountEntries(dir()), 0);
}

TEST_F(DeployResourceTest, DirectoryInTheWayStaysAndStagedFileGoes) {
  ASSERT_TRUE(CreateDirectoryW(Destination().c_str(), nullptr));
  EXPECT_EQ(SetupErrorText([&] { DeployResource(kApplicationResource, Destination()); }),
            kReplaceFailure);
  EXPECT_TRUE(IsDirectory(Destination()));
  EXPECT_FALSE(ReadBytes(Staged()));
}

TEST_F(DeployResourceTest, MissingResourceCreatesNothing) {
  EXPECT_EQ(SetupErrorText([&] { DeployResource(kAbsentResource, Destination()); }),
            "Missing embedded payload");
  EXPECT_EQ(CountEntries(dir()), 0);
}

TEST_F(DeployResourceTest, ZeroLengthResourceGivesEmptyFile) {
  DeployResource(kEmptyResource, Destination());
  EXPECT_EQ(ReadBytes(Destination()), std::string());
}

}  // namespace
}  // namespace orvanta::test
