#pragma once

#include <string>

namespace orvanta {

// Asks the desktop's shell to start the program, with the directory as its
// working directory, so that it runs as the desktop's user at the shell's
// integrity, not with this process's elevated token. False when there is no
// shell to ask or it refused; the caller then starts the program itself.
bool StartAsDesktopUser(const std::wstring& program, const std::wstring& directory) noexcept;

}  // namespace orvanta
