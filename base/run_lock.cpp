#include "base/run_lock.h"

#include <aclapi.h>
#include <sddl.h>

namespace orvanta {
namespace {

// What waiting and releasing need, and the owner's own right to read the
// descriptor, which tells whose mutex it is.
constexpr DWORD kLockAccess = SYNCHRONIZE | MUTEX_MODIFY_STATE | READ_CONTROL;

// Owned by the user and granting the user alone what the lock needs. An
// elevated token would make Administrators the owner and the only grantee,
// and shut out the same user's plain runs; its high label is lowered to
// medium, the level of a plain run, so that integrity rules nothing here.
LocalPtr<void> UserOnlyDescriptor(const wchar_t* sid) noexcept {
  wchar_t text[512];  // a SID's text is shorter than 190 characters
  wsprintfW(text, L"O:%sD:P(A;;0x100001;;;%s)S:(ML;;NW;;;ME)", sid, sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr);
  return LocalPtr<void>(descriptor);
}

// Anyone may make a name in Global\ first; only a mutex that the user owns is
// the lock.
bool OwnedBy(HANDLE mutex, PSID user) noexcept {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                                      nullptr, nullptr, nullptr, &descriptor);
  const LocalPtr<void> owned(descriptor);
  return error == ERROR_SUCCESS && owner != nullptr && EqualSid(owner, user);
}

KernelHandle CreateUserMutex(const wchar_t* prefix, PSID user) noexcept {
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(user, &text)) return nullptr;
  const LocalPtr<wchar_t> sid(text);
  const LocalPtr<void> descriptor = UserOnlyDescriptor(sid.get());
  if (!descriptor) return nullptr;
  SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.get(), FALSE};
  wchar_t name[MAX_PATH];  // the longest object name
  wsprintfW(name, L"%s%s", prefix, sid.get());
  KernelHandle mutex(CreateMutexExW(&attributes, name, 0, kLockAccess));
  if (mutex && !OwnedBy(mutex.get(), user)) mutex.reset();
  return mutex;
}

KernelHandle OpenUserMutex(const wchar_t* prefix) noexcept {
  alignas(TOKEN_USER) BYTE token[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  if (!GetTokenInformation(GetCurrentProcessToken(), TokenUser, token, sizeof(token), &size)) {
    return nullptr;
  }
  return CreateUserMutex(prefix, reinterpret_cast<TOKEN_USER*>(token)->User.Sid);
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
