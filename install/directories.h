#pragma once

#include <string>

namespace orvanta {

// Makes the directory exist, with every missing ancestor; an existing one is
// accepted as it is. Raises the filesystem error "create_directories" with the
// directory's path when it cannot be made to exist.
void CreateDirectoryChain(const std::wstring& directory);

}  // namespace orvanta
