#include <windows.h>
#include <objbase.h>
#include <propkey.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "component/fixture.h"
#include "component/recording_link.h"
#include "shell/shortcut.h"

namespace orvanta::test {
namespace {

// The allocation that carries the AppUserModelID: "Orvanta.Native" and its 0.
constexpr SIZE_T kIdentifierBytes = 30;

bool IsAppUserModelId(const PROPERTYKEY& key) {
  return IsEqualGUID(key.fmtid, PKEY_AppUserModel_ID.fmtid) && key.pid == PKEY_AppUserModel_ID.pid;
}

class RecordedShortcutTest : public ComponentTest {
 protected:
  void SetUp() override {
    ComponentTest::SetUp();
    ASSERT_TRUE(shellLink_.registered());
  }

  LinkRecord& record() { return shellLink_.record(); }

  // Made once the base's COM apartment is up, and revoked before it goes.
  RecordingShellLinkClass shellLink_;
};

TEST_F(RecordedShortcutTest, CreateShortcutSetsAppUserModelIdBeforeSaving) {
  const std::wstring exe = Path(L"App\\Orvanta.exe");
  const std::wstring lnk = Path(L"Orvanta 演示计时器.lnk");
  CreateShortcut(exe, lnk);

  const LinkCall* set = record().Find("SetValue");
  ASSERT_NE(set, nullptr) << "no property set";
  EXPECT_TRUE(IsAppUserModelId(set->key));
  EXPECT_EQ(set->type, VT_LPWSTR);
  EXPECT_EQ(set->text, L"Orvanta.Native");

  // Saved to memory, so the link's own place is given first.
  const LinkCall* relative = record().Find("SetRelativePath");
  ASSERT_NE(relative, nullptr) << "no place given for a relative target";
  EXPECT_EQ(relative->text, lnk);
  ASSERT_NE(record().Find("Save"), nullptr) << "link not saved";
  EXPECT_TRUE(ShortcutPointsAt(lnk, exe));

  std::vector<int> order;
  for (const char* method : {"SetPath", "SetValue", "Commit", "SetRelativePath", "Save"}) {
    order.push_back(record().IndexOf(method));
    ASSERT_GE(order.back(), 0) << method << " was never called";
  }
  EXPECT_TRUE(std::is_sorted(order.begin(), order.end()));
}

TEST_F(RecordedShortcutTest, CreateShortcutLeavesOtherFieldsAtTheirDefaults) {
  CreateShortcut(Path(L"App\\Orvanta.exe"), Path(L"x.lnk"));
  // Calls never made prove nothing unless the link's calls were recorded at all.
  ASSERT_GE(record().IndexOf("Save"), 0) << "no call of the link was recorded";
  for (const char* untouched :
       {"SetArguments", "SetHotkey", "SetShowCmd", "SetIDList", "Resolve"}) {
    EXPECT_EQ(record().IndexOf(untouched), -1) << untouched;
  }
}

TEST_F(RecordedShortcutTest, FailedIdentifierAllocationStillSavesTheLink) {
  FailingMallocSpy spy(kIdentifierBytes);
  ASSERT_TRUE(spy.registered()) << "CoRegisterMallocSpy is not available";
  // Armed only once the property store is asked for, so that no allocation of
  // the shell link's own can be the one that fails.
  record().onPropertyStore = [&spy] { spy.Arm(); };

  const std::wstring exe = Path(L"App\\Orvanta.exe");
  const std::wstring lnk = Path(L"Orvanta 演示计时器.lnk");
  EXPECT_EQ(SetupErrorText([&] { CreateShortcut(exe, lnk); }), "<no error>");
  record().onPropertyStore = nullptr;

  // Once per link made: a shell whose stream save shifts the fields makes a second.
  EXPECT_GE(spy.failures(), 1);
  EXPECT_EQ(record().IndexOf("SetValue"), -1);
  ASSERT_NE(record().Find("Save"), nullptr);
  EXPECT_TRUE(ShortcutPointsAt(lnk, exe));
}

// No shell under Wine refuses these; the recording link stands in for one.
// The relative path is optional, the target is not.
TEST_F(RecordedShortcutTest, RefusedSetterFailsTheLinkOnlyForTheTarget) {
  const std::wstring exe = Path(L"App\\Orvanta.exe");
  const std::pair<const char*, const char*> cases[] = {
      {"SetRelativePath", "<no error>"},
      {"SetPath", "Cannot save shortcut"},
  };
  for (const auto& [setter, error] : cases) {
    SCOPED_TRACE(setter);
    record().refused = setter;
    const std::wstring lnk = Path(std::wstring(setter, setter + std::strlen(setter)) + L".lnk");
    EXPECT_EQ(SetupErrorText([&] { CreateShortcut(exe, lnk); }), error);
    record().refused.clear();
    EXPECT_EQ(ShortcutPointsAt(lnk, exe), std::string(error) == "<no error>");
  }
}

// Windows gives a link's target back as it finds it on disk: long names, in
// their own letter case, whatever spelling the link was made with. Only a
// difference in A to Z keeps it ours.
TEST_F(RecordedShortcutTest, TargetGivenBackInItsOnDiskSpellingIsOursOnlyForAToZ) {
  const std::wstring exe = Path(L"\u00E9lise\\Orvanta.exe");
  const std::wstring lnk = Path(L"spelling.lnk");
  CreateShortcut(exe, lnk);
  record().rebuiltPath = Path(L"\u00E9LISE\\ORVANTA.EXE");
  EXPECT_TRUE(ShortcutPointsAt(lnk, exe));
  record().rebuiltPath = Path(L"\u00C9lise\\Orvanta.exe");
  EXPECT_FALSE(ShortcutPointsAt(lnk, exe));
  record().rebuiltPath = Path(L"\u00E9lise\\Orvanta.ex");
  EXPECT_FALSE(ShortcutPointsAt(lnk, exe));
}

}  // namespace
}  // namespace orvanta::test
