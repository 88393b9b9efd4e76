#pragma once

#include <windows.h>

// The lock that keeps runs of the setup program one at a time for the user:
// each decision a run makes (the legacy directory, ownership, the files and
// shortcut that are not ours) holds only while no other run acts between it
// and the run's end.
namespace orvanta {

// A named mutex in the user's own session, per user rather than per target:
// two installs into different directories still share the Start-menu link.
// Every later version keeps this name.
inline constexpr wchar_t kRunLockName[] = L"Local\\Orvanta.Native.Setup";

// The named mutex, null when it could be neither created nor opened; held
// by the thread that waited, from a successful wait until the owner goes.
// The system releases it as abandoned when its holder dies, so it can never
// go stale.
class RunLock {
 public:
  explicit RunLock(const wchar_t* name) noexcept;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Waits until this run holds the lock or `timeoutMs` (INFINITE for no
  // bound) has passed; false only when the bound passed first. A lock whose
  // holder died counts as taken. Without a mutex the run goes on unlocked, as
  // if it had taken it.
  bool Wait(DWORD timeoutMs) noexcept;

 private:
  HANDLE mutex_;
  bool held_ = false;
};

}  // namespace orvanta
