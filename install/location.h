#pragma once

#include <string>

namespace orvanta {

// The directory to offer when the command line names none: Programs\Orvanta
// below the local application-data folder, or Programs\Orvanta-Native when an
// earlier version's install there carries a valid marker.
std::wstring ResolveInstallLocation();

}  // namespace orvanta
