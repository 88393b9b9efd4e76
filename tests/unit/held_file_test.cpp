#include "base/held_file.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace orvanta {
namespace {

// Wine replaces a read-only destination on a rename, so only this table shows
// that Windows' refusal is not waited for.
TEST(HeldFileTest, OnlyAHoldThatCanEndIsWaitedOut) {
  struct Case {
    DWORD code;
    DWORD attributes;
    bool wait;
  };
  const Case cases[] = {
      {ERROR_SHARING_VIOLATION, FILE_ATTRIBUTE_READONLY, true},
      {ERROR_LOCK_VIOLATION, FILE_ATTRIBUTE_DIRECTORY, true},
      {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, false},
      {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_DIRECTORY, false},
      {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_ARCHIVE, true},
      {ERROR_ACCESS_DENIED, FILE_ATTRIBUTE_NORMAL, true},
      {ERROR_ACCESS_DENIED, INVALID_FILE_ATTRIBUTES, true},
      {ERROR_FILE_NOT_FOUND, FILE_ATTRIBUTE_NORMAL, false},
      {ERROR_DISK_FULL, INVALID_FILE_ATTRIBUTES, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WorthWaitingFor(c.code, c.attributes), c.wait)
        << "code " << c.code << ", attributes 0x" << std::hex << c.attributes;
  }
}

}  // namespace
}  // namespace orvanta
