#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace orvanta {

// The path of a user folder, exactly as the shell gives it: the one way the
// program asks where the user's folders are. Raises "Cannot locate user folder".
std::wstring KnownFolderPath(REFKNOWNFOLDERID folder);

}  // namespace orvanta
