#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace orvanta {

// The path of a user folder, exactly as the shell gives it. Raises
// "Cannot locate user folder".
std::wstring KnownFolderPath(REFKNOWNFOLDERID folder);

// The directory to offer when the command line names none: Programs\Orvanta
// below the local application-data folder, or Programs\Orvanta-Native when an
// earlier version's install there carries a valid marker.
std::wstring ResolveInstallLocation();

}  // namespace orvanta
