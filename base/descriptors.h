#pragma once

#include <windows.h>

#include "base/win_handles.h"

// Who else may touch what the program makes: one descriptor for each kind of
// object, written as SDDL below (owner; who may change it; who may only read
// it; its integrity label), with the user's SID put in at run time.
namespace orvanta {

// The SID of the user of a token, as text; for the process's own, the same
// user whether it is elevated or not. Null when the token cannot be read.
LocalPtr<wchar_t> TokenUserSid(HANDLE token) noexcept;
inline LocalPtr<wchar_t> ProcessUserSid() noexcept {
  return TokenUserSid(GetCurrentProcessToken());
}

// The run lock: owned by the user, who alone may wait on it and release it.
// Labelled medium, the level of a plain run, with no read, write or wait for
// a lower level: a sandboxed or downloaded program of the same user at low
// integrity can neither open it nor hold it. Null when it cannot be built.
LocalPtr<void> RunLockDescriptor(const wchar_t* userSid) noexcept;

// A folder that the install creates outside the user's profile, and by
// inheritance every folder and file below it: as in a profile, the user,
// SYSTEM and Administrators have it all and no one else anything, not even
// read (a file is as readable as its own DACL says, whatever the folders
// above it say). Protected, so that what a parent grants (Authenticated Users
// may modify whatever is made below C:\) does not reach it. Null when it
// cannot be built.
LocalPtr<void> InstallFolderDescriptor(const wchar_t* userSid) noexcept;

// Whether a descriptor found on an object has exactly the owner, the one
// entry of the DACL and, where the system reports one, the label of the
// expected one. This Wine reports no label.
bool HasOwnerEntryAndLabelOf(PSECURITY_DESCRIPTOR found, PSECURITY_DESCRIPTOR expected) noexcept;

}  // namespace orvanta
