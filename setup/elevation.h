#pragma once

#include <string_view>

namespace orvanta {

// Whether a run must refuse because it would install for someone the signed-in
// user is not: elevated, and as another account than the session's user (an
// administrator's name typed at the elevation prompt, or the hidden account
// that Administrator protection elevates to). Its profile and Start menu are
// that account's, which the user never sees. The users are SIDs as text; an
// unknown session user (empty) refuses nothing, and an elevated run of the
// same user goes on.
constexpr bool InstallsForAnotherUser(bool elevated, std::wstring_view runUser,
                                      std::wstring_view sessionUser) noexcept {
  return elevated && !sessionUser.empty() && runUser != sessionUser;
}

// Raises "Run the setup program without administrator rights" when this run
// installs for another user; asked before the confirmation, so that nothing
// has been written.
void RefuseRunForAnotherUser();

}  // namespace orvanta
