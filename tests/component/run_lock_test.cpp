#include "base/run_lock.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace orvanta::test {
namespace {

// A bound for a hang only.
constexpr DWORD kHangMs = 60000;

// A lock of its own, so that no setup run elsewhere in the profile waits on it.
std::wstring TestLockName() {
  return std::wstring(kRunLockName) + L".test-" + std::to_wstring(GetCurrentProcessId());
}

// A holder that does not end until told: the lock is held by another thread,
// as by another run, for as long as the waiter looks.
TEST(RunLockTest, QuietWaitGivesUpAfterItsBoundAndTakesTheLockOnceFree) {
  const std::wstring name = TestLockName();
  HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread holder([&] {
    RunLock lock(name.c_str());
    EXPECT_TRUE(lock.Wait(kHangMs));
    SetEvent(taken);
    WaitForSingleObject(release, kHangMs);
  });
  ASSERT_EQ(WaitForSingleObject(taken, kHangMs), WAIT_OBJECT_0);

  RunLock waiter(name.c_str());
  constexpr DWORD kBoundMs = 300;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(waiter.Wait(kBoundMs));
  // A timed wait may end up to one clock tick early.
  EXPECT_GE(GetTickCount64() - start + 32, kBoundMs);

  SetEvent(release);
  holder.join();
  EXPECT_TRUE(waiter.Wait(kHangMs));
  CloseHandle(release);
  CloseHandle(taken);
}

}  // namespace
}  // namespace orvanta::test
