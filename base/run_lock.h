#pragma once

#include <windows.h>

#include "base/win_handles.h"

// The lock that keeps runs of the setup program one at a time for the user:
// each decision a run makes (the legacy directory, ownership, the files and
// shortcut that are not ours) holds only while no other run acts between it
// and the run's end.
namespace orvanta {

// The lock is the named mutex of this prefix followed by the user's SID as
// text: one object for all of the user's runs, whatever the Windows session
// and whether elevated or not, and per user rather than per target (two
// installs into different directories still share the Start-menu link).
// Every later version keeps this name.
inline constexpr wchar_t kRunLockPrefix[] = L"Global\\Orvanta.Native.Setup.";

// How long a run waits behind another: in slices, looking for the other
// run's dialog after each. While one is open the run waits on, so the user
// sees why nothing else shows. Otherwise (a quiet run, a holder whose dialog
// is on another desktop or already answered, or that hangs) it gives up once
// no dialog has been seen for a bound long enough for a large payload on a
// slow disk, so that neither a script nor a double-click waits unseen for
// good.
inline constexpr DWORD kRunWaitSliceMs = 500;
inline constexpr ULONGLONG kUnseenRunWaitMs = 5 * 60 * 1000;
constexpr bool KeepsWaiting(bool dialogOpen, ULONGLONG msWithoutDialog) noexcept {
  return dialogOpen || msWithoutDialog < kUnseenRunWaitMs;
}

// The user's mutex, null when it could be neither created nor opened, or when
// what has that name was made by another account or with another entry or
// label (a low-integrity process of the user may make it first): the run then
// goes on unlocked. The user alone may wait on it and release it, and owns it
// even when an elevated run made it; no lower integrity level opens it. Held
// by the thread that waited, from a successful wait until the owner goes. The
// system releases it as abandoned when its holder dies, so it can never go
// stale.
class RunLock {
 public:
  explicit RunLock(const wchar_t* prefix) noexcept;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  // Waits until this run holds the lock or `timeoutMs` (INFINITE for no
  // bound) has passed; false only when the bound passed first. A lock whose
  // holder died counts as taken. Without a mutex the run goes on unlocked, as
  // if it had taken it.
  bool Wait(DWORD timeoutMs) noexcept;

 private:
  KernelHandle mutex_;
  bool held_ = false;
};

}  // namespace orvanta
