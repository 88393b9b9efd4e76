#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "e2e/harness.h"
#include "e2e/scenario.h"

// Files the program meets on disk that no well-behaved program wrote: links
// that are cut short, empty, huge or noise, and markers that are huge or
// binary. Every run must end with the outcome the ownership rules give.
namespace orvanta::e2e {
namespace {

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(random() & 0xFF);
  return bytes;
}

// Malformed contents for a file named like a shortcut, with a name each.
std::vector<std::pair<const char*, std::string>> MalformedLinks(const std::string& realLink) {
  return {
      {"empty", ""},
      {"truncated link", realLink.substr(0, realLink.size() / 2)},
      {"header only", test::RawLinkBytes("").substr(0, 0x4C)},
      {"noise", Noise(4096, 7)},
      {"huge noise", Noise(8 << 20, 11)},
  };
}

class MalformedTest : public testing::Test {
 protected:
  std::wstring TargetFile(const wchar_t* name) const { return Join(target_, name); }

  // The bytes of a real link to the executable, to cut short.
  std::string RealLinkBytes() {
    const std::wstring scratch = Join(profile_.root(), L"real.lnk");
    WriteLink(scratch, TargetFile(kExecutable));
    std::string bytes = ReadBytes(scratch).value_or("");
    DeleteFileW(scratch.c_str());
    return bytes;
  }

  Profile profile_;
  const std::wstring target_ = profile_.defaultTarget();
};

TEST_F(MalformedTest, MalformedPrimaryShortcutRefusesTheInstallUnchanged) {
  for (const auto& [name, bytes] : MalformedLinks(RealLinkBytes())) {
    SCOPED_TRACE(name);
    WriteBytes(profile_.primaryShortcut(), bytes);
    const Tree before = Snapshot(profile_.root());
    EXPECT_EQ(RunQuiet({}), 1u);
    EXPECT_EQ(Snapshot(profile_.root()), before);
    DeleteFileW(profile_.primaryShortcut().c_str());
  }
}

TEST_F(MalformedTest, MalformedLegacyShortcutIsKeptByInstallAndRemoval) {
  for (const auto& [name, bytes] : MalformedLinks(RealLinkBytes())) {
    SCOPED_TRACE(name);
    WriteBytes(profile_.legacyShortcut(), bytes);
    ASSERT_EQ(RunQuiet({}), 0u);
    EXPECT_EQ(ReadBytes(profile_.legacyShortcut()), bytes);
    EXPECT_TRUE(ReadLink(profile_.primaryShortcut()));

    EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
    EXPECT_FALSE(PathExists(target_));
    EXPECT_FALSE(PathExists(profile_.primaryShortcut()));
    EXPECT_EQ(ReadBytes(profile_.legacyShortcut()), bytes);
  }
}

TEST_F(MalformedTest, RemovalKeepsMalformedFilesAtBothShortcutNames) {
  ASSERT_EQ(RunQuiet({}), 0u);
  const std::string cut = RealLinkBytes().substr(0, 60);
  const std::string noise = Noise(8 << 20, 13);
  WriteBytes(profile_.primaryShortcut(), cut);
  WriteBytes(profile_.legacyShortcut(), noise);
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  EXPECT_FALSE(PathExists(target_));
  EXPECT_EQ(ReadBytes(profile_.primaryShortcut()), cut);
  EXPECT_EQ(ReadBytes(profile_.legacyShortcut()), noise);
}

TEST_F(MalformedTest, HugeOrBinaryMarkerIsNotOwnedAndRefusesBoth) {
  const std::pair<const char*, std::string> markers[] = {
      {"binary", Noise(4096, 17)},
      {"huge without a line end", std::string(16 << 20, 'O')},
      {"marker line inside noise", Noise(100, 19) + kMarkerBytes},
  };
  MakeDirectories(target_);
  for (const auto& [name, bytes] : markers) {
    SCOPED_TRACE(name);
    WriteBytes(TargetFile(kMarker), bytes);
    const Tree before = Snapshot(profile_.root());
    EXPECT_EQ(RunQuiet({}), 1u);
    EXPECT_EQ(RunQuiet({L"--remove"}), 1u);
    EXPECT_EQ(Snapshot(profile_.root()), before);
  }
}

TEST_F(MalformedTest, HugeMarkerWithTheMarkerLineFirstIsOwnedAndRewritten) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteBytes(TargetFile(kMarker), std::string(kMarkerBytes) + Noise(16 << 20, 23));
  EXPECT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(TargetFile(kMarker)), std::string(kMarkerBytes));
  EXPECT_EQ(RunQuiet({L"--remove"}), 0u);
  EXPECT_FALSE(PathExists(target_));
}

TEST_F(MalformedTest, ReadOnlyOwnedFileStopsRemovalThereAndKeepsTheRest) {
  const wchar_t* const order[] = {kExecutable, kReadme, kMarker};
  for (std::size_t blocked = 0; blocked < 3; ++blocked) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(order[blocked])));
    ASSERT_EQ(RunQuiet({}), 0u);
    const std::wstring readOnly = TargetFile(order[blocked]);
    ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RunQuiet({L"--remove"}), 1u);
    // Files before the read-only one are gone; it and the rest stay. The
    // shortcut goes after the payload and before the marker.
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(PathExists(TargetFile(order[i])), i >= blocked);
    EXPECT_EQ(PathExists(profile_.primaryShortcut()), order[blocked] != kMarker);

    SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(RunQuiet({L"--remove"}), 0u) << "the directory stays owned, so removal can finish";
    EXPECT_FALSE(PathExists(target_));
  }
}

}  // namespace
}  // namespace orvanta::e2e
