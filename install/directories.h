#pragma once

#include <string>
#include <string_view>

namespace orvanta {

// Whether the folders that a run creates on the way to `directory` (a plain
// absolute path) get the install folder's protected descriptor. Inside the
// user's profile (`profile`, empty when it cannot be told) they inherit, as
// every folder there does: one made on the way, such as the user's Programs,
// is shared by every program installed later. On a network volume (a server
// path, or a drive that `remoteDrive` says is mapped) they inherit too: the
// server would store the local account's SID, which it may know by another.
// Everywhere else they are protected, since another user could otherwise
// rename a new parent away.
bool ProtectsNewFolders(std::wstring_view directory, std::wstring_view profile,
                        bool remoteDrive) noexcept;

// Makes the directory exist, with every missing ancestor, each created with
// the descriptor that ProtectsNewFolders chooses, so that no other user can
// read or change what is installed there; an existing one is accepted as it
// is, its DACL kept. Raises the filesystem error "create_directories" with
// the directory's path when it cannot be made to exist.
void CreateDirectoryChain(const std::wstring& directory);

}  // namespace orvanta
