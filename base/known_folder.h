#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "base/win_handles.h"

namespace orvanta {

// The path of a user folder, exactly as the shell gives it: the one way the
// program asks where the user's folders are. Null when the shell cannot tell.
CoTaskMemPtr<wchar_t> FindKnownFolder(REFKNOWNFOLDERID folder) noexcept;

// FindKnownFolder as a string; raises "Cannot locate user folder".
std::wstring KnownFolderPath(REFKNOWNFOLDERID folder);

}  // namespace orvanta
