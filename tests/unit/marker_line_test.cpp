#include "install/marker_line.h"

#include <gtest/gtest.h>

#include <string>

namespace orvanta {
namespace {

std::string Line(std::string_view tail) { return std::string(kMarkerLine) + std::string(tail); }

TEST(MarkerLineTest, AcceptsTheMarkerLineWithAnyProperLineEnd) {
  EXPECT_TRUE(IsMarkerHead(Line("")));
  EXPECT_TRUE(IsMarkerHead(Line("\n")));
  EXPECT_TRUE(IsMarkerHead(Line("\r\n")));
  EXPECT_TRUE(IsMarkerHead(Line("\nanything")));
  EXPECT_TRUE(IsMarkerHead(kMarkerBytes));
  EXPECT_EQ(kMarkerBytes.size(), 28u);
}

TEST(MarkerLineTest, RejectsEveryOtherFirstLine) {
  const std::string rejected[] = {
      "",
      Line("\r"),
      Line("\rx"),
      Line(" "),
      Line(" \n"),
      "\xEF\xBB\xBF" + Line("\n"),
      "orvanta-native installer v1\n",
      "Orvanta-Native installer v2\n",
      "Orvanta-Native installer v\n",
      " " + Line(""),
      Line("1"),
      std::string(kMarkerLine.substr(0, 26)),
  };
  for (const auto& head : rejected) EXPECT_FALSE(IsMarkerHead(head)) << head;
}

TEST(MarkerLineTest, HeadSizeCoversTheLineAndACrLf) {
  EXPECT_EQ(kMarkerHeadSize, 29u);
  EXPECT_TRUE(IsMarkerHead(Line("\r\n").substr(0, kMarkerHeadSize)));
}

}  // namespace
}  // namespace orvanta
