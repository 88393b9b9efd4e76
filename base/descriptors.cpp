#include "base/descriptors.h"

#include <sddl.h>

#include <cstring>

namespace orvanta {
namespace {

// 0x100001 is SYNCHRONIZE | MUTEX_MODIFY_STATE: what waiting and releasing
// need. An elevated token would make Administrators the owner.
constexpr wchar_t kRunLock[] = L"O:%sD:P(A;;0x100001;;;%s)S:(ML;;NWNRNX;;;ME)";
constexpr wchar_t kInstallFolder[] = L"D:P(A;OICI;FA;;;%s)(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// The format's %s, once or twice, is the SID.
LocalPtr<void> FromSddl(const wchar_t* format, const wchar_t* sid) noexcept {
  wchar_t text[512];  // a SID's text is shorter than 190 characters
  wsprintfW(text, format, sid, sid);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(text, SDDL_REVISION_1, &descriptor, nullptr);
  return LocalPtr<void>(descriptor);
}

// Whether the list holds exactly one entry, byte for byte that of `expected`.
bool OneEntryAs(PACL list, PACL expected) noexcept {
  void* entry = nullptr;
  void* wanted = nullptr;
  if (list == nullptr || expected == nullptr || list->AceCount != 1 || !GetAce(list, 0, &entry) ||
      !GetAce(expected, 0, &wanted)) {
    return false;
  }
  const WORD size = static_cast<ACE_HEADER*>(wanted)->AceSize;
  return static_cast<ACE_HEADER*>(entry)->AceSize == size && std::memcmp(entry, wanted, size) == 0;
}

struct Parts {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PACL label = nullptr;
};

Parts PartsOf(PSECURITY_DESCRIPTOR descriptor) noexcept {
  Parts parts;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  GetSecurityDescriptorOwner(descriptor, &parts.owner, &defaulted);
  GetSecurityDescriptorDacl(descriptor, &present, &parts.dacl, &defaulted);
  GetSecurityDescriptorSacl(descriptor, &present, &parts.label, &defaulted);
  return parts;
}

}  // namespace

LocalPtr<wchar_t> TokenUserSid(HANDLE token) noexcept {
  alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  wchar_t* text = nullptr;
  if (GetTokenInformation(token, TokenUser, user, sizeof(user), &size)) {
    ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &text);
  }
  return LocalPtr<wchar_t>(text);
}

LocalPtr<void> RunLockDescriptor(const wchar_t* userSid) noexcept {
  return FromSddl(kRunLock, userSid);
}

LocalPtr<void> InstallFolderDescriptor(const wchar_t* userSid) noexcept {
  return FromSddl(kInstallFolder, userSid);
}

bool HasOwnerEntryAndLabelOf(PSECURITY_DESCRIPTOR found, PSECURITY_DESCRIPTOR expected) noexcept {
  const Parts is = PartsOf(found);
  const Parts wanted = PartsOf(expected);
  return is.owner != nullptr && wanted.owner != nullptr && EqualSid(is.owner, wanted.owner) &&
         OneEntryAs(is.dacl, wanted.dacl) &&
         (is.label == nullptr || is.label->AceCount == 0 || OneEntryAs(is.label, wanted.label));
}

}  // namespace orvanta
