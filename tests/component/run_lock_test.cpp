#include "base/run_lock.h"

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace orvanta::test {
namespace {

// A bound for a hang only.
constexpr DWORD kHangMs = 60000;

// A lock of its own, so that no setup run elsewhere in the profile waits on it.
std::wstring TestLockPrefix() {
  return std::wstring(kRunLockPrefix) + L"test-" + std::to_wstring(GetCurrentProcessId()) + L".";
}

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  EXPECT_TRUE(ConvertSidToStringSidW(sid, &text));
  const LocalPtr<wchar_t> owned(text);
  return text != nullptr ? text : L"";
}

std::wstring UserSid() {
  alignas(TOKEN_USER) BYTE token[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  EXPECT_TRUE(
      GetTokenInformation(GetCurrentProcessToken(), TokenUser, token, sizeof(token), &size));
  return SidText(reinterpret_cast<TOKEN_USER*>(token)->User.Sid);
}

// Whichever token made it (an elevated one would give Administrators alone),
// the user owns the lock and alone may wait on it and release it.
TEST(RunLockTest, MutexNamedWithTheUsersSidGrantsThatUserAlone) {
  const std::wstring name = TestLockPrefix() + UserSid();
  const RunLock lock(TestLockPrefix().c_str());
  const KernelHandle mutex(OpenMutexW(READ_CONTROL, FALSE, name.c_str()));
  ASSERT_TRUE(mutex) << "no mutex named with the user's SID: error " << GetLastError();
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetSecurityInfo(mutex.get(), SE_KERNEL_OBJECT,
                            OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner, nullptr,
                            &dacl, nullptr, &descriptor),
            ERROR_SUCCESS);
  const LocalPtr<void> owned(descriptor);
  EXPECT_EQ(SidText(owner), UserSid());
  ASSERT_TRUE(dacl != nullptr && dacl->AceCount == 1) << "not one entry";
  ACCESS_ALLOWED_ACE* entry = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&entry)));
  EXPECT_EQ(entry->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(entry->Mask, static_cast<DWORD>(SYNCHRONIZE | MUTEX_MODIFY_STATE));
  EXPECT_EQ(SidText(&entry->SidStart), UserSid());
}

// Another account that makes the name first neither holds nor blocks the
// user's runs: they go on unlocked.
TEST(RunLockTest, MutexOfTheNameOwnedByAnotherAccountIsNotWaitedOn) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"O:SYD:(A;;GA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  const LocalPtr<void> owned(descriptor);
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
  const std::wstring name = TestLockPrefix() + UserSid();
  const KernelHandle squatter(
      CreateMutexExW(&attributes, name.c_str(), CREATE_MUTEX_INITIAL_OWNER, MUTEX_ALL_ACCESS));
  const DWORD error = GetLastError();
  if (!squatter && error == ERROR_INVALID_OWNER) {
    GTEST_SKIP() << "Windows makes an object owned by another account only with the restore "
                    "privilege enabled";
  }
  ASSERT_TRUE(squatter) << "error " << error;
  std::thread([] { EXPECT_TRUE(RunLock(TestLockPrefix().c_str()).Wait(0)); }).join();
  ReleaseMutex(squatter.get());
}

// A holder that does not end until told: the lock is held by another thread,
// as by another run, for as long as the waiter looks.
TEST(RunLockTest, QuietWaitGivesUpAfterItsBoundAndTakesTheLockOnceFree) {
  const std::wstring prefix = TestLockPrefix();
  const KernelHandle taken(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  const KernelHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  std::thread holder([&] {
    RunLock lock(prefix.c_str());
    EXPECT_TRUE(lock.Wait(kHangMs));
    SetEvent(taken.get());
    WaitForSingleObject(release.get(), kHangMs);
  });
  // A thread still joinable when a failed assertion leaves would end the
  // whole run: the holder is let go and joined on every path.
  const struct HolderJoin {
    std::thread& thread;
    HANDLE release;
    ~HolderJoin() {
      SetEvent(release);
      if (thread.joinable()) thread.join();
    }
  } joinHolder{holder, release.get()};
  ASSERT_EQ(WaitForSingleObject(taken.get(), kHangMs), WAIT_OBJECT_0);

  RunLock waiter(prefix.c_str());
  constexpr DWORD kBoundMs = 300;
  const ULONGLONG start = GetTickCount64();
  EXPECT_FALSE(waiter.Wait(kBoundMs));
  // A timed wait may end up to one clock tick early.
  EXPECT_GE(GetTickCount64() - start + 32, kBoundMs);

  SetEvent(release.get());
  holder.join();
  EXPECT_TRUE(waiter.Wait(kHangMs));
}

}  // namespace
}  // namespace orvanta::test
