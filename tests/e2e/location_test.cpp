#include <gtest/gtest.h>

#include <string>

#include "e2e/harness.h"

namespace orvanta::e2e {
namespace {

const std::string kMarkerLine = "Orvanta-Native installer v1";

class LocationTest : public testing::Test {
 protected:
  std::wstring LegacyTarget() const {
    return profile_.localAppData() + L"\\Programs\\Orvanta-Native";
  }

  void WriteLegacyMarker(const std::string& bytes) {
    MakeDirectories(LegacyTarget());
    WriteBytes(LegacyTarget() + L"\\Orvanta-Native.install", bytes);
  }

  Profile profile_;
};

TEST_F(LocationTest, DefaultDirectoryIsOfferedWithoutLegacyInstall) {
  EXPECT_EQ(ConfirmationDialogText({}), InstallConfirmation(profile_.defaultTarget()));
}

TEST_F(LocationTest, LegacyInstallIsKeptWhereItIs) {
  WriteLegacyMarker(kMarkerLine + "\n");
  ASSERT_EQ(RunQuiet({}), 0u);
  EXPECT_EQ(ReadBytes(LegacyTarget() + L"\\Orvanta.exe"), PayloadBytes(L"Orvanta.exe"));
  EXPECT_FALSE(PathExists(profile_.defaultTarget()));
}

TEST_F(LocationTest, LegacyWinsOverAnInstallInTheDefaultDirectory) {
  ASSERT_EQ(RunQuiet({}), 0u);
  WriteLegacyMarker(kMarkerLine + "\n");
  EXPECT_EQ(ConfirmationDialogText({}), InstallConfirmation(LegacyTarget()));
}

TEST_F(LocationTest, TargetOptionReplacesTheLegacyDirectory) {
  WriteLegacyMarker(kMarkerLine + "\n");
  const std::wstring chosen = profile_.root() + L"\\Chosen";
  EXPECT_EQ(ConfirmationDialogText({L"--target=" + chosen}), InstallConfirmation(chosen));
}

class AcceptedLegacyMarker : public LocationTest,
                             public testing::WithParamInterface<std::string> {};

TEST_P(AcceptedLegacyMarker, OffersTheLegacyDirectory) {
  WriteLegacyMarker(kMarkerLine + GetParam());
  EXPECT_EQ(ConfirmationDialogText({}), InstallConfirmation(LegacyTarget()));
}

INSTANTIATE_TEST_SUITE_P(LineEnds, AcceptedLegacyMarker, testing::Values("\n", "\r\n", ""));

class IgnoredLegacyMarker : public LocationTest, public testing::WithParamInterface<std::string> {};

TEST_P(IgnoredLegacyMarker, OffersTheDefaultDirectory) {
  WriteLegacyMarker(GetParam());
  EXPECT_EQ(ConfirmationDialogText({}), InstallConfirmation(profile_.defaultTarget()));
}

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

INSTANTIATE_TEST_SUITE_P(FirstLineDiffers, IgnoredLegacyMarker,
                         testing::Values(LowerCase(kMarkerLine) + "\n", kMarkerLine + " \n",
                                         "\xEF\xBB\xBF" + kMarkerLine + "\n", kMarkerLine + "\r",
                                         kMarkerLine + "\rmore\n", std::string()));

}  // namespace
}  // namespace orvanta::e2e
