#include "install/remove.h"

#include <windows.h>

#include <optional>

#include "base/durable_file.h"
#include "base/errors.h"
#include "base/exists.h"
#include "base/held_file.h"
#include "base/link.h"
#include "base/path.h"
#include "shell/shortcut.h"

namespace orvanta {
namespace {

constexpr char kCannotRemove[] = "Cannot remove installed file; close Orvanta first";

void DeleteOwnedFile(const std::wstring& path) {
  if (!Exists(path)) return;
  if (!DeleteFileWaiting(path)) ThrowSetupError(kCannotRemove);
}

// True when the shortcut is gone or was never ours. A scanner's moment on it
// is waited out as on the payload; a link that stays unreadable may be ours,
// so it counts as one that could not be deleted.
bool DeleteShortcutIfOurs(const std::wstring& shortcut, const std::wstring& executable) {
  const std::optional<bool> ours = ShortcutOwnership(shortcut, executable);
  return ours.has_value() && (!*ours || DeleteFileWaiting(shortcut));
}

// The primary and legacy shortcuts, and a staged primary that a cut left.
bool DeleteShortcutsOfOurs(const InstallPaths& paths) {
  const std::wstring staged = StagedPath(paths.primaryShortcut);
  bool gone = true;
  for (const std::wstring* shortcut : {&paths.primaryShortcut, &paths.legacyShortcut, &staged}) {
    gone = DeleteShortcutIfOurs(*shortcut, paths.executable) && gone;
  }
  return gone;
}

// RemoveDirectoryW takes a junction or directory link away however full the
// folder behind it is, so a linked target is left as a non-empty one would be.
// Other reparse points, such as those of every folder in OneDrive, mark the
// folder itself, which goes when it is empty like any other.
void RemoveEmptyDirectory(const std::wstring& directory) {
  const std::wstring path = ExtendedLengthPath(directory);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && CountsAsLink(ReadReparseTag(path))) return;
  RemoveDirectoryW(path.c_str());
}

}  // namespace

void RunRemove(const InstallPaths& paths, bool owned) {
  if (!owned) ThrowSetupError("Directory was not installed by Orvanta");
  DeleteOwnedFile(paths.executable);
  DeleteOwnedFile(paths.readme);
  // The marker is the last of ours to go: a removal cut anywhere before it,
  // or failed by a shortcut that could not be deleted, leaves a directory
  // that the next removal still recognises and finishes.
  if (!DeleteShortcutsOfOurs(paths)) ThrowSetupError(kCannotRemove);
  DeleteOwnedFile(paths.marker);
  // Only an empty directory goes away; anything else the user keeps there stays.
  RemoveEmptyDirectory(paths.targetDir);
}

}  // namespace orvanta
