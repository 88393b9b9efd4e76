#include "setup/elevation.h"

#include <gtest/gtest.h>

namespace orvanta {
namespace {

TEST(ElevationTest, AnElevatedRunGoesOnOnlyAsTheSessionsKnownUser) {
  constexpr wchar_t kUser[] = L"S-1-5-21-1-2-3-1001";
  constexpr wchar_t kAdministrator[] = L"S-1-5-21-1-2-3-500";
  struct Row {
    bool elevated;
    const wchar_t* runUser;
    const wchar_t* sessionUser;
    bool refused;
  };
  const Row rows[] = {
      {false, kUser, kUser, false},
      {true, kUser, kUser, false},            // the user's own elevation
      {true, kAdministrator, kUser, true},    // another account's credentials
      {false, kAdministrator, kUser, false},  // "run as" without elevation
      {true, kUser, L"", true},               // no session user to tell (session 0)
      {false, kUser, L"", false},
      {true, L"S-1-5-21-1-2-3-100", kUser, true},    // differs in one digit
      {true, kUser, L"S-1-5-21-1-2-3-10011", true},  // and in length
  };
  for (const Row& row : rows) {
    EXPECT_EQ(InstallsForAnotherUser(row.elevated, row.runUser, row.sessionUser), row.refused)
        << row.elevated << " " << row.runUser << " " << row.sessionUser;
  }
}

}  // namespace
}  // namespace orvanta
