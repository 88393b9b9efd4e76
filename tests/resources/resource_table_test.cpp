#include <algorithm>
#include <string>
#include <vector>

#include "resources/resource_fixture.h"

namespace orvanta::resources_test {
namespace {

class ResourceTable : public SetupProgramResources {};

// Compares two byte strings without printing them whole: they can be large.
testing::AssertionResult SameBytes(const std::vector<uint8_t>& actual,
                                   const std::vector<uint8_t>& expected) {
  if (actual.size() != expected.size()) {
    return testing::AssertionFailure()
           << "resource has " << actual.size() << " bytes, the file " << expected.size();
  }
  const auto [a, e] = std::mismatch(actual.begin(), actual.end(), expected.begin());
  if (a != actual.end()) {
    return testing::AssertionFailure() << "first difference at byte " << (a - actual.begin());
  }
  return testing::AssertionSuccess();
}

TEST_F(ResourceTable, HoldsExactlyTheListedEntriesAllInLanguage1033) {
  std::vector<std::wstring> expected = {L"10/201/1033", L"10/202/1033", L"14/201/1033",
                                        L"16/1/1033", L"24/1/1033"};
  for (int id = 1; id <= 9; ++id) expected.push_back(L"3/" + std::to_wstring(id) + L"/1033");
  std::vector<std::wstring> actual = EnumerateResourceTable(module());
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(actual, expected);
}

TEST_F(ResourceTable, ApplicationPayloadIsTheStagedExecutableByteForByte) {
  const auto resource = ResourceBytes(module(), RT_RCDATA, 201);
  ASSERT_TRUE(resource.has_value());
  EXPECT_TRUE(SameBytes(*resource, ReadFileBytes(TestInputs().application)));
}

TEST_F(ResourceTable, ReadmePayloadIsTheStagedReadmeByteForByte) {
  const auto resource = ResourceBytes(module(), RT_RCDATA, 202);
  ASSERT_TRUE(resource.has_value());
  EXPECT_TRUE(SameBytes(*resource, ReadFileBytes(TestInputs().readme)));
}

}  // namespace
}  // namespace orvanta::resources_test
