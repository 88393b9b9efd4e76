#include "base/error_text.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvanta {
namespace {

TEST(ErrorTextTest, FilesystemErrorTextHasOperationMessageAndQuotedPath) {
  EXPECT_EQ(FilesystemErrorText("exists", "Access is denied.", "C:\\x\\README.md"),
            "exists: Access is denied.: \"C:\\x\\README.md\"");
  EXPECT_EQ(FilesystemErrorText("absolute", "unknown error", ""), "absolute: unknown error: \"\"");
}

TEST(ErrorTextTest, TrimCutsOnlyTrailingBlanksLineEndsAndNuls) {
  EXPECT_EQ(TrimSystemMessage(std::string("Denied.\r\n \t\0", 12)), "Denied.");
  EXPECT_EQ(TrimSystemMessage("  lead kept"), "  lead kept");
  EXPECT_EQ(TrimSystemMessage(" \r\n"), "");
}

TEST(ErrorTextTest, MessageIsLookedUpInEnglishThenDefaultLanguageThenNeutral) {
  std::vector<std::uint16_t> asked;
  const auto answerFor = [&asked](std::uint16_t wanted, std::string text) {
    return [&asked, wanted, text](std::uint16_t language) {
      asked.push_back(language);
      return language == wanted ? text : std::string();
    };
  };
  EXPECT_EQ(FirstSystemMessage(0x0804, answerFor(0x0409, "Denied.\r\n")), "Denied.");
  EXPECT_EQ(asked, (std::vector<std::uint16_t>{0x0409}));
  asked.clear();
  EXPECT_EQ(FirstSystemMessage(0x0804, answerFor(0x0804, "拒绝")), "拒绝");
  EXPECT_EQ(asked, (std::vector<std::uint16_t>{0x0409, 0x0804}));
  asked.clear();
  EXPECT_EQ(FirstSystemMessage(0x0804, answerFor(0, "Neutral")), "Neutral");
  EXPECT_EQ(asked, (std::vector<std::uint16_t>{0x0409, 0x0804, 0}));
}

TEST(ErrorTextTest, NoTextOrOnlyBlanksGiveUnknownError) {
  EXPECT_EQ(FirstSystemMessage(0, [](std::uint16_t) { return std::string(); }), "unknown error");
  EXPECT_EQ(FirstSystemMessage(0, [](std::uint16_t) { return std::string(" \r\n"); }),
            "unknown error");
}

}  // namespace
}  // namespace orvanta
