#include "setup/options.h"

#include <gtest/gtest.h>

#include <vector>

#include "base/errors.h"

namespace orvanta {
namespace {

SetupOptions Apply(std::initializer_list<const wchar_t*> arguments) {
  SetupOptions options;
  options.targetDir = L"default";
  for (const auto* argument : arguments) ApplyArgument(options, argument);
  return options;
}

TEST(OptionTableTest, SwitchesSetTheirFlagsAndRepeatsAreAllowed) {
  const SetupOptions options = Apply({L"--quiet", L"--no-shortcut", L"--remove", L"--quiet"});
  EXPECT_TRUE(options.quiet);
  EXPECT_TRUE(options.noShortcut);
  EXPECT_TRUE(options.remove);
  EXPECT_EQ(options.targetDir, L"default");
  const SetupOptions none = Apply({});
  EXPECT_FALSE(none.quiet || none.noShortcut || none.remove);
}

TEST(OptionTableTest, TargetTakesTheRestUnchangedAndTheLastOneWins) {
  EXPECT_EQ(Apply({L"--target=D:\\A", L"--target=D:\\B"}).targetDir, L"D:\\B");
  EXPECT_EQ(Apply({L"--target= D:\\My Apps "}).targetDir, L" D:\\My Apps ");
  EXPECT_EQ(Apply({L"--target="}).targetDir, L"");
  EXPECT_EQ(Apply({L"--target==x"}).targetDir, L"=x");
}

TEST(OptionTableTest, QuietIsFoundWhereverItStandsAndOnlyExactly) {
  using Arguments = std::vector<std::wstring_view>;
  EXPECT_TRUE(HasQuietArgument(Arguments{L"--quiet"}));
  EXPECT_TRUE(HasQuietArgument(Arguments{L"--remove", L"--bogus", L"--quiet"}));
  EXPECT_FALSE(HasQuietArgument(Arguments{}));
  EXPECT_FALSE(HasQuietArgument(
      Arguments{L"--Quiet", L"--quiet=1", L"--quiet ", L"--target=--quiet", L"/quiet"}));
}

TEST(OptionTableTest, AnythingElseIsUnknown) {
  const wchar_t* unknown[] = {L"",          L"--Quiet",       L"--QUIET",    L"-quiet",
                              L"--quiet=1", L"--target",      L"--TARGET=x", L"C:\\Apps",
                              L"--quiet ",  L"--no_shortcut", L"--removes",  L"/quiet"};
  for (const auto* argument : unknown) {
    SetupOptions options;
    EXPECT_THROW(ApplyArgument(options, argument), SetupError) << argument;
  }
  SetupOptions options;
  try {
    ApplyArgument(options, L"--bogus");
    FAIL() << "no error raised";
  } catch (const SetupError& error) {
    EXPECT_STREQ(error.what(), "Unknown setup argument");
  }
}

}  // namespace
}  // namespace orvanta
