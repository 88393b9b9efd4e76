#pragma once

#include <string_view>

namespace orvanta {

// Whether a run must refuse because it would install for someone the signed-in
// user is not: elevated, and as another account than the session's user (an
// administrator's name typed at the elevation prompt, or the hidden account
// that Administrator protection elevates to). Its profile and Start menu are
// that account's, which the user never sees. The users are SIDs as text,
// empty when unknown: an elevated run goes on only as the session's known
// user. SYSTEM in session 0, where no user is signed in, would install into
// its own profile and report success to a deployment tool.
constexpr bool InstallsForAnotherUser(bool elevated, std::wstring_view runUser,
                                      std::wstring_view sessionUser) noexcept {
  return elevated && (sessionUser.empty() || runUser != sessionUser);
}

// Whether the process's token is elevated (an administrator's full token).
bool RunsElevated() noexcept;

// Raises "Run the setup program without administrator rights" when this run
// installs for another user; asked before the confirmation, so that nothing
// has been written. The session's user is the desktop shell's, or else the
// one its account name gives.
void RefuseRunForAnotherUser();

// Whether the run is in session 0, where services run and no one sees a
// window: a dialog there would wait for ever.
bool SessionShowsNoDialogs() noexcept;

}  // namespace orvanta
