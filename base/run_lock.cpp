#include "base/run_lock.h"

#include <aclapi.h>

#include "base/descriptors.h"

namespace orvanta {
namespace {

// What waiting and releasing need, and the right to read the descriptor,
// which tells whose mutex it is.
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

// Anyone may make a name in Global\ first, and a mutex that a low-integrity
// process of the user made is the user's too: only a mutex with the owner,
// the entry and the label that the lock is made with is the lock.
bool IsTheLock(HANDLE mutex, PSECURITY_DESCRIPTOR expected) noexcept {
  PSECURITY_DESCRIPTOR found = nullptr;
  const DWORD error = GetSecurityInfo(
      mutex, SE_KERNEL_OBJECT,
      OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, nullptr,
      nullptr, nullptr, nullptr, &found);
  const LocalPtr<void> owned(found);
  return error == ERROR_SUCCESS && HasOwnerEntryAndLabelOf(found, expected);
}

KernelHandle OpenUserMutex(const wchar_t* prefix) noexcept {
  const LocalPtr<wchar_t> sid = ProcessUserSid();
  if (!sid) return nullptr;
  const LocalPtr<void> descriptor = RunLockDescriptor(sid.get());
  if (!descriptor) return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  wchar_t name[MAX_PATH];  // the longest object name
  wsprintfW(name, L"%s%s", prefix, sid.get());
  KernelHandle mutex(CreateMutexExW(&attributes, name, 0, kLockAccess));
  if (mutex && !IsTheLock(mutex.get(), descriptor.get())) mutex.reset();
  return mutex;
}

}  // namespace

RunLock::RunLock(const wchar_t* prefix) noexcept : mutex_(OpenUserMutex(prefix)) {}

RunLock::~RunLock() {
  if (held_) ReleaseMutex(mutex_.get());
}

bool RunLock::Wait(DWORD timeoutMs) noexcept {
  if (!mutex_) return true;
  const DWORD result = WaitForSingleObject(mutex_.get(), timeoutMs);
  // An abandoned lock is taken: the holder's half-finished run is a state
  // that any run finishes, as after a power cut.
  held_ = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
  return held_ || result != WAIT_TIMEOUT;
}

}  // namespace orvanta
