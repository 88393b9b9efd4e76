#pragma once

#include <string>

namespace orvanta {

// Makes the directory exist, with every missing ancestor, each created with
// the install folder's descriptor, so that no other user can change what is
// installed there; an existing one is accepted as it is, its DACL kept. Raises the filesystem error "create_directories" with the
// directory's path when it cannot be made to exist.
void CreateDirectoryChain(const std::wstring& directory);

}  // namespace orvanta
