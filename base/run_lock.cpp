#include "base/run_lock.h"

namespace orvanta {

RunLock::RunLock(const wchar_t* name) noexcept
    : mutex_(CreateMutexExW(nullptr, name, 0, SYNCHRONIZE | MUTEX_MODIFY_STATE)) {}

RunLock::~RunLock() {
  if (held_) ReleaseMutex(mutex_);
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool RunLock::Wait(DWORD timeoutMs) noexcept {
  if (mutex_ == nullptr) return true;
  const DWORD result = WaitForSingleObject(mutex_, timeoutMs);
  // An abandoned lock is taken: the holder's half-finished run is a state
  // that any run finishes, as after a power cut.
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return held_ || result != WAIT_TIMEOUT;
}

}  // namespace orvanta
