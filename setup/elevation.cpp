#include "setup/elevation.h"

#include <windows.h>
#include <sddl.h>
#include <wtsapi32.h>

#include <memory>

#include "base/descriptors.h"
#include "base/errors.h"
#include "base/win_handles.h"

namespace orvanta {
namespace {

bool Elevated() noexcept {
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(GetCurrentProcessToken(), TokenElevation, &elevation,
                             sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

using QueryFunction = decltype(&WTSQuerySessionInformationW);
using FreeFunction = decltype(&WTSFreeMemory);

// A function of the session DLL; gcc accepts a cast between function types
// only through this one.
template <class Function>
Function SessionFunction(HMODULE library, const char* name) noexcept {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// Fills `sid` with the SID of the user signed in to this run's session,
// which any process may ask of its own session without a privilege; false
// when there is none or it cannot be told. wtsapi32 is no known DLL, so it is
// taken from System32 by name, never from the folder the program was started
// from.
bool SessionUser(BYTE (&sid)[SECURITY_MAX_SID_SIZE]) noexcept {
  const LibraryPtr library(LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!library) return false;
  const auto query = SessionFunction<QueryFunction>(library.get(), "WTSQuerySessionInformationW");
  const auto free = SessionFunction<FreeFunction>(library.get(), "WTSFreeMemory");
  if (query == nullptr || free == nullptr) return false;
  wchar_t* names[2] = {};
  DWORD bytes = 0;
  const bool known =
      query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSDomainName, &names[0], &bytes) &&
      query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, WTSUserName, &names[1], &bytes);
  const std::unique_ptr<wchar_t, FreeFunction> domain(names[0], free);
  const std::unique_ptr<wchar_t, FreeFunction> user(names[1], free);
  wchar_t account[2 * 256 + 2];  // a domain and a user name, at most 255 and 256 characters
  if (!known || user == nullptr || *user == L'\0' || domain == nullptr ||
      lstrlenW(domain.get()) > 255 || lstrlenW(user.get()) > 256) {
    return false;
  }
  wsprintfW(account, L"%s\\%s", domain.get(), user.get());
  DWORD sidSize = sizeof(sid);
  wchar_t referenced[256];
  DWORD referencedSize = 256;
  SID_NAME_USE use;
  return LookupAccountNameW(nullptr, account, sid, &sidSize, referenced, &referencedSize, &use);
}

}  // namespace

void RefuseRunForAnotherUser() {
  // Only an elevated run asks, so a plain one loads nothing more.
  if (!Elevated()) return;
  const LocalPtr<wchar_t> user = ProcessUserSid();
  BYTE session[SECURITY_MAX_SID_SIZE];
  wchar_t* text = nullptr;
  if (!user || !SessionUser(session) || !ConvertSidToStringSidW(session, &text)) return;
  const LocalPtr<wchar_t> sessionUser(text);
  if (InstallsForAnotherUser(true, user.get(), sessionUser.get())) {
    throw SetupError("Run the setup program without administrator rights");
  }
}

}  // namespace orvanta
