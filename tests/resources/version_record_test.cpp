#include "resources/resource_fixture.h"
#include "resources/version_block.h"

#include <winver.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orvanta::resources_test {
namespace {

class VersionRecord : public SetupProgramResources {
 protected:
  // The record as the version API reads it from the file, not from our mapping.
  void SetUp() override {
    SetupProgramResources::SetUp();
    const std::wstring& path = TestInputs().setupProgram;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    ASSERT_NE(size, 0u) << "no version record, error " << GetLastError();
    info_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, info_.data()));
  }

  // The string of this name in the one table, or nothing.
  std::optional<std::wstring> String(const std::wstring& name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring query = L"\\StringFileInfo\\040904B0\\" + name;
    if (!VerQueryValueW(info_.data(), query.c_str(), &value, &length) || !value) {
      return std::nullopt;
    }
    return std::wstring(static_cast<const wchar_t*>(value));
  }

  std::vector<uint8_t> info_;
};

// The record's tree as stored in the resource, so that nothing beyond the
// listed tables and strings can hide in it.
VersionBlock StoredTree(HMODULE module) {
  const auto bytes = ResourceBytes(module, RT_VERSION, 1);
  if (!bytes) throw VersionBlockError("no RT_VERSION 1 in language 1033");
  return ParseVersionBlock(bytes->data(), bytes->size());
}

std::set<std::u16string> Keys(const VersionBlock& block) {
  std::set<std::u16string> keys;
  for (const VersionBlock& child : block.children) keys.insert(child.key);
  return keys;
}

TEST_F(VersionRecord, FixedPartGivesVersionBothWaysAndMarksAnApplication) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info_.data(), L"\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto& fixed = *static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed.dwSignature, 0xFEEF04BDu);
  const DWORD versionMs = MAKELONG(kVersion[1], kVersion[0]);
  const DWORD versionLs = MAKELONG(kVersion[3], kVersion[2]);
  EXPECT_EQ(fixed.dwFileVersionMS, versionMs);
  EXPECT_EQ(fixed.dwFileVersionLS, versionLs);
  EXPECT_EQ(fixed.dwProductVersionMS, versionMs);
  EXPECT_EQ(fixed.dwProductVersionLS, versionLs);
  EXPECT_EQ(fixed.dwFileFlagsMask, 0u);
  EXPECT_EQ(fixed.dwFileFlags, 0u);
  EXPECT_EQ(fixed.dwFileOS, 0u);
  EXPECT_EQ(fixed.dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed.dwFileSubtype, 0u);
}

TEST_F(VersionRecord, HoldsOneUsEnglishUtf16TableWithExactlyTheSixStrings) {
  const VersionBlock root = StoredTree(module());
  EXPECT_EQ(root.key, u"VS_VERSION_INFO");
  EXPECT_EQ(root.value.size(), sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(Keys(root), (std::set<std::u16string>{u"StringFileInfo", u"VarFileInfo"}));
  ASSERT_EQ(root.children.size(), 2u);
  const VersionBlock* strings = root.Child(u"StringFileInfo");
  ASSERT_NE(strings, nullptr);
  ASSERT_EQ(strings->children.size(), 1u);
  const VersionBlock& table = strings->children.front();
  EXPECT_EQ(table.key, u"040904B0");
  EXPECT_EQ(Keys(table),
            (std::set<std::u16string>{u"CompanyName", u"FileDescription", u"FileVersion",
                                      u"LegalCopyright", u"ProductName", u"ProductVersion"}));
  EXPECT_EQ(table.children.size(), 6u) << "each string once";
  for (const VersionBlock& string : table.children) {
    EXPECT_TRUE(string.isText) << "the value of a string is stored as text";
  }
}

TEST_F(VersionRecord, StringsNameTheProductItsMakerAndTheShortVersion) {
  EXPECT_EQ(String(L"ProductName"), std::wstring(L"Orvanta"));
  EXPECT_EQ(String(L"FileDescription"), std::wstring(L"Orvanta Setup"));
  EXPECT_EQ(String(L"FileVersion"), VersionText(3));
  EXPECT_EQ(String(L"ProductVersion"), VersionText(3));
  EXPECT_EQ(String(L"CompanyName"), std::wstring(L"Orvanta Project"));
  EXPECT_EQ(String(L"LegalCopyright"), std::wstring(L"Copyright (C) Orvanta Project"));
}

TEST_F(VersionRecord, TranslationIsUsEnglishInUtf16Only) {
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info_.data(), L"\\VarFileInfo\\Translation", &value, &length));
  ASSERT_EQ(length, 4u) << "exactly one language and code-page pair";
  const auto* pair = static_cast<const WORD*>(value);
  EXPECT_EQ(pair[0], 0x0409);
  EXPECT_EQ(pair[1], 1200);

  const VersionBlock root = StoredTree(module());
  const VersionBlock* variables = root.Child(u"VarFileInfo");
  ASSERT_NE(variables, nullptr);
  EXPECT_EQ(Keys(*variables), std::set<std::u16string>{u"Translation"});
  EXPECT_EQ(variables->children.size(), 1u);
}

}  // namespace
}  // namespace orvanta::resources_test
