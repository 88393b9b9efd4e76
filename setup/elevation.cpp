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

using QueryFunction = decltype(&WTSQuerySessionInformationW);
using FreeFunction = decltype(&WTSFreeMemory);

// A function of the session DLL; gcc accepts a cast between function types
// only through this one.
template <class Function>
Function SessionFunction(HMODULE library, const char* name) noexcept {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

// The user of the desktop shell's process, as text: the signed-in user, told
// without a name lookup. An elevated run of that user may read its token;
// another account's usually may not. Null when there is no shell or its
// token cannot be read.
LocalPtr<wchar_t> ShellUserSid() noexcept {
  DWORD id = 0;
  const HWND shell = GetShellWindow();
  if (shell == nullptr || GetWindowThreadProcessId(shell, &id) == 0) return nullptr;
  const KernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
  HANDLE token = nullptr;
  if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, &token)) return nullptr;
  const KernelHandle owned(token);
  return TokenUserSid(token);
}

// The SID of the user signed in to this run's session, as text, by the
// session's account name, which any process may ask of its own session
// without a privilege; null when there is none (session 0) or its name cannot
// be looked up. wtsapi32 is no known DLL, so it is taken from System32 by
// name, never from the folder the program was started from.
LocalPtr<wchar_t> NamedSessionUserSid() noexcept {
  const LibraryPtr library(LoadLibraryExW(L"wtsapi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!library) return nullptr;
  const auto query = SessionFunction<QueryFunction>(library.get(), "WTSQuerySessionInformationW");
  const auto free = SessionFunction<FreeFunction>(library.get(), "WTSFreeMemory");
  if (query == nullptr || free == nullptr) return nullptr;
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
    return nullptr;
  }
  wsprintfW(account, L"%s\\%s", domain.get(), user.get());
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid);
  wchar_t referenced[256];
  DWORD referencedSize = 256;
  SID_NAME_USE use;
  wchar_t* text = nullptr;
  if (LookupAccountNameW(nullptr, account, sid, &sidSize, referenced, &referencedSize, &use)) {
    ConvertSidToStringSidW(sid, &text);
  }
  return LocalPtr<wchar_t>(text);
}

const wchar_t* OrEmpty(const LocalPtr<wchar_t>& text) noexcept { return text ? text.get() : L""; }

}  // namespace

bool RunsElevated() noexcept {
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(GetCurrentProcessToken(), TokenElevation, &elevation,
                             sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

void RefuseRunForAnotherUser() {
  // Only an elevated run asks, so a plain one loads nothing more.
  if (!RunsElevated()) return;
  const LocalPtr<wchar_t> user = ProcessUserSid();
  LocalPtr<wchar_t> sessionUser = ShellUserSid();
  if (!sessionUser) sessionUser = NamedSessionUserSid();
  if (InstallsForAnotherUser(true, OrEmpty(user), OrEmpty(sessionUser))) {
    ThrowSetupError("Run the setup program without administrator rights");
  }
}

bool SessionShowsNoDialogs() noexcept {
  DWORD session = 0;
  return ProcessIdToSessionId(GetCurrentProcessId(), &session) && session == 0;
}

}  // namespace orvanta
