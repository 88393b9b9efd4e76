#include "base/link.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

// Wine reports no reparse tags (its handle on a Unix link reaches the folder
// behind it), so only this table shows which tags keep the target folder.
TEST(LinkTest, OnlyNameSurrogatesAndUnreadableTagsCountAsLinks) {
  const std::pair<std::optional<unsigned long>, bool> cases[] = {
      {std::nullopt, true}, {0xA0000003, true},  {0xA000000C, true},  {0xA000001D, true},
      {0x9000001A, false},  {0x9000701A, false}, {0x9000F01A, false}, {0x9000001C, false},
  };
  for (const auto& [tag, link] : cases) {
    EXPECT_EQ(CountsAsLink(tag), link) << std::hex << tag.value_or(0);
  }
}

}  // namespace
}  // namespace orvanta
