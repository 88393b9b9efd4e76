#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/run_state.h"

namespace orvanta {

inline constexpr wchar_t kShortcutName[] = L"Orvanta 演示计时器.lnk";
inline constexpr wchar_t kLegacyShortcutName[] = L"Orvanta Native.lnk";
inline constexpr wchar_t kShortcutDescription[] = L"Orvanta 演示计时器";
// Must equal the identifier that the application gives its own process, so
// that the taskbar treats the running program and the shortcut as one item.
inline constexpr wchar_t kAppUserModelId[] = L"Orvanta.Native";

struct ShortcutPaths {
  std::wstring primary;
  std::wstring legacy;
};

// The primary and legacy shortcut paths in a Programs folder.
ShortcutPaths ShortcutPathsIn(std::wstring_view programsFolder);

// The shortcut paths in the user's Start-menu Programs folder. Raises
// "Cannot locate user folder".
ShortcutPaths StartMenuShortcutPaths();

// Whether something exists at the shortcut path, loads as a shell link and
// gives back a target path that names the executable (compared as normalised
// text in the plain form, folding only the letters A to Z, so that the
// \\?\C:\ form stored by an earlier version still matches). Needs neither the target
// nor the executable to exist. Nothing when the link stays unreadable after a
// hold on it has been waited out: whose it is cannot be known. Raises only the
// filesystem error "exists".
std::optional<bool> ShortcutOwnership(const std::wstring& shortcut, const std::wstring& executable);

// ShortcutOwnership with an unreadable link counted as another program's.
bool ShortcutPointsAt(const std::wstring& shortcut, const std::wstring& executable);

// Saves a shell link to the executable at the shortcut path, with working
// directory, icon, description and AppUserModelID, every path in its plain
// form (C:\... for \\?\C:\...), which the shell can parse. The link is
// written to the staged name (the path with ".new" appended), flushed and
// renamed over what is there, so the path holds the old link or the whole new
// one, never a part.
// Raises "Cannot create shortcut" or "Cannot save shortcut".
void CreateShortcut(const std::wstring& executable, const std::wstring& shortcut);

// Refuses an install whose primary shortcut belongs to something else:
// "The Orvanta shortcut belongs to another program".
void CheckShortcutConflict(const InstallPaths& paths);

// Saves the primary shortcut, then retires the legacy one if it is ours.
void PlaceShortcut(const InstallPaths& paths);

// Tells the shell that the item at the path has changed.
void NotifyShellOfUpdate(const std::wstring& path);

}  // namespace orvanta
