#include "install/marker.h"

#include <gtest/gtest.h>

#include "component/fixture.h"

namespace orvanta::test {
namespace {

constexpr char kLine[] = "Orvanta-Native installer v1";

class MarkerTest : public ComponentTest {
 protected:
  std::wstring Marker() const { return Path(L"Orvanta-Native.install"); }
};

TEST_F(MarkerTest, OwnershipFollowsTheFirstLineOnly) {
  const std::string line = kLine;
  struct Case {
    const char* what;
    std::string bytes;
    bool owned;
  };
  const Case cases[] = {
      {"empty", "", false},
      {"no line feed", line, true},
      {"line feed", line + "\n", true},
      {"CR LF", line + "\r\n", true},
      {"final CR without LF", line + "\r", false},
      {"CR CR LF", line + "\r\r\n", false},
      {"trailing blank", line + " \n", false},
      {"leading blank", " " + line + "\n", false},
      {"byte-order mark", "\xEF\xBB\xBF" + line + "\n", false},
      {"other case", "orvanta-native installer v1\n", false},
      {"other version", "Orvanta-Native installer v2\n", false},
      {"cut short", line.substr(0, line.size() - 1) + "\n", false},
      {"further lines", line + "\nanything at all\r\nmore\n", true},
      {"further lines after CR LF", line + "\r\n" + line + "x\r\n", true},
  };
  for (const Case& c : cases) {
    WriteBytes(Marker(), c.bytes);
    EXPECT_EQ(IsOwnedDirectory(dir()), c.owned) << c.what;
  }
}

TEST_F(MarkerTest, MissingMarkerOrDirectoryIsNotOwned) {
  EXPECT_FALSE(IsOwnedDirectory(dir()));
  EXPECT_FALSE(IsOwnedDirectory(Path(L"absent")));
}

TEST_F(MarkerTest, DirectoryNamedLikeMarkerIsNotOwned) {
  ASSERT_TRUE(CreateDirectoryW(Marker().c_str(), nullptr));
  EXPECT_FALSE(IsOwnedDirectory(dir()));
}

TEST_F(MarkerTest, MarkerHeldOpenForWritingStillReads) {
  WriteBytes(Marker(), std::string(kLine) + "\n");
  const FileHandle writer(
      OpenHeld(Marker(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
  ASSERT_TRUE(writer.valid());
  EXPECT_TRUE(IsOwnedDirectory(dir()));
}

TEST_F(MarkerTest, HugeMarkerIsReadNoFurtherThanItsFirstLine) {
  const std::string head = std::string(kLine) + "\r\n";
  WriteBytes(Marker(), head + std::string(4 << 20, 'z'));
  const FileHandle locker(
      OpenHeld(Marker(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE));
  ASSERT_TRUE(locker.valid());
  OVERLAPPED from{};
  from.Offset = static_cast<DWORD>(head.size());
  ASSERT_TRUE(LockFileEx(locker.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                         MAXDWORD, 0, &from));

  EXPECT_TRUE(IsOwnedDirectory(dir()));

  // The answer proves the bound only where the lock refuses other readers.
  const FileHandle probe(OpenHeld(Marker(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
  ASSERT_TRUE(probe.valid());
  char buffer[64];
  DWORD read = 0;
  const bool lockHolds = !ReadFile(probe.get(), buffer, sizeof(buffer), &read, nullptr);
  UnlockFileEx(locker.get(), 0, MAXDWORD, 0, &from);
  if (!lockHolds) GTEST_SKIP() << "byte-range locks do not refuse readers here: bound unproven";
}

TEST_F(MarkerTest, WriteMarkerWritesExactlyTheMarkerLineAndOneLineFeed) {
  WriteMarker(dir());
  EXPECT_EQ(ReadBytes(Marker()), std::string(kLine) + "\n");
  EXPECT_TRUE(IsOwnedDirectory(dir()));
}

TEST_F(MarkerTest, WriteMarkerReplacesLongerMarker) {
  WriteBytes(Marker(), std::string(kLine) + "\r\nand a second line that must go\r\n");
  WriteMarker(dir());
  const auto bytes = ReadBytes(Marker());
  ASSERT_TRUE(bytes);
  EXPECT_EQ(bytes->size(), 28u);
  EXPECT_EQ(*bytes, std::string(kLine) + "\n");
}

TEST_F(MarkerTest, MarkerHeldWithoutDeleteSharingIsLeftAsItWas) {
  const std::string old = std::string(kLine) + "\r\n";
  WriteBytes(Marker(), old);
  {
    // The marker is replaced by a rename, which a reader without delete sharing refuses.
    const FileHandle reader(OpenHeld(Marker(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(SetupErrorText([&] { WriteMarker(dir()); }), "Cannot write installation marker");
  }
  EXPECT_EQ(ReadBytes(Marker()), old);
  EXPECT_FALSE(ReadBytes(Marker() + L".new").has_value());
}

TEST_F(MarkerTest, MarkerThatCannotBeOpenedForWritingIsLeftAsItWas) {
  const std::string old = std::string(kLine) + "\r\n";
  WriteBytes(Marker(), old);
  {
    const FileHandle reader(OpenHeld(Marker(), GENERIC_READ, FILE_SHARE_READ));
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(SetupErrorText([&] { WriteMarker(dir()); }), "Cannot write installation marker");
  }
  EXPECT_EQ(ReadBytes(Marker()), old);
  EXPECT_TRUE(IsOwnedDirectory(dir()));
}

TEST_F(MarkerTest, ReadOnlyMarkerIsLeftAsItWas) {
  const std::string old = std::string(kLine) + "\r\n";
  WriteBytes(Marker(), old);
  ASSERT_TRUE(SetFileAttributesW(Marker().c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(SetupErrorText([&] { WriteMarker(dir()); }), "Cannot write installation marker");
  SetFileAttributesW(Marker().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadBytes(Marker()), old);
}

TEST_F(MarkerTest, WriteMarkerIntoMissingDirectoryFails) {
  EXPECT_EQ(SetupErrorText([&] { WriteMarker(Path(L"absent")); }),
            "Cannot write installation marker");
  EXPECT_EQ(CountEntries(dir()), 0);
}

}  // namespace
}  // namespace orvanta::test
