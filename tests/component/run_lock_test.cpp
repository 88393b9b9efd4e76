#include "base/run_lock.h"

#include <aclapi.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "base/text.h"
#include "component/fixture.h"

namespace orvanta::test {
namespace {

// A bound for a hang only.
constexpr DWORD kHangMs = 60000;

// A lock of its own, so that no setup run elsewhere in the profile waits on it.
std::wstring TestLockPrefix() {
  return std::wstring(kRunLockPrefix) + L"test-" + std::to_wstring(GetCurrentProcessId()) + L".";
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
  PACL label = nullptr;
  ASSERT_EQ(GetSecurityInfo(
                mutex.get(), SE_KERNEL_OBJECT,
                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                &owner, nullptr, &dacl, &label, &descriptor),
            ERROR_SUCCESS);
  const LocalPtr<void> owned(descriptor);
  EXPECT_EQ(SidText(owner), UserSid());
  ASSERT_TRUE(dacl != nullptr && dacl->AceCount == 1) << "not one entry";
  ACCESS_ALLOWED_ACE* entry = nullptr;
  ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&entry)));
  EXPECT_EQ(entry->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
  EXPECT_EQ(entry->Mask, static_cast<DWORD>(SYNCHRONIZE | MUTEX_MODIFY_STATE));
  EXPECT_EQ(SidText(&entry->SidStart), UserSid());
  // Where the system reports the label: medium, with no read, write or wait
  // from below.
  if (label != nullptr && label->AceCount > 0) {
    SYSTEM_MANDATORY_LABEL_ACE* mark = nullptr;
    ASSERT_TRUE(GetAce(label, 0, reinterpret_cast<void**>(&mark)));
    EXPECT_EQ(mark->Mask, static_cast<DWORD>(SYSTEM_MANDATORY_LABEL_NO_WRITE_UP |
                                             SYSTEM_MANDATORY_LABEL_NO_READ_UP |
                                             SYSTEM_MANDATORY_LABEL_NO_EXECUTE_UP));
    EXPECT_EQ(SidText(&mark->SidStart), L"S-1-16-8192");
  }
}

// Another account that makes the name first, or a process of the user's own
// (at low integrity, say) that makes it with another entry, neither holds nor
// blocks the user's runs: they go on unlocked.
TEST(RunLockTest, MutexOfTheNameMadeByAnotherAccountOrWithAnotherEntryIsNotWaitedOn) {
  for (const std::wstring& sddl :
       {std::wstring(L"O:SYD:(A;;GA;;;WD)"), L"O:" + UserSid() + L"D:(A;;GA;;;WD)"}) {
    SCOPED_TRACE(NarrowFileText(sddl));
    const LocalPtr<void> descriptor = FromSddl(sddl);
    ASSERT_TRUE(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
    const std::wstring name = TestLockPrefix() + UserSid();
    const KernelHandle squatter(
        CreateMutexExW(&attributes, name.c_str(), CREATE_MUTEX_INITIAL_OWNER, MUTEX_ALL_ACCESS));
    const DWORD error = GetLastError();
    if (!squatter && error == ERROR_INVALID_OWNER) {
      std::printf(
          "not run: Windows makes an object owned by another account only with the "
          "restore privilege enabled\n");
      continue;
    }
    ASSERT_TRUE(squatter) << "error " << error;
    std::thread([] { EXPECT_TRUE(RunLock(TestLockPrefix().c_str()).Wait(0)); }).join();
    ReleaseMutex(squatter.get());
  }
}

// After each slice a run waits on while the holder's dialog is open, and
// gives up once none has been seen for the bound, whatever it saw before.
TEST(RunLockTest, ARunWaitsOnWhileTheHoldersDialogIsOpenAndBoundedWithoutOne) {
  const struct {
    bool dialogOpen;
    ULONGLONG msWithoutDialog;
    bool waits;
  } rows[] = {{true, 24 * kUnseenRunWaitMs, true},
              {false, kUnseenRunWaitMs - 1, true},
              {false, kUnseenRunWaitMs, false}};
  for (const auto& row : rows) {
    EXPECT_EQ(KeepsWaiting(row.dialogOpen, row.msWithoutDialog), row.waits)
        << row.dialogOpen << " " << row.msWithoutDialog;
  }
  EXPECT_EQ(kUnseenRunWaitMs, 5u * 60 * 1000);
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
