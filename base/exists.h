#pragma once

#include <string>

namespace orvanta {

// Whether the system's answer for a path means that nothing is there.
bool MeansAbsent(unsigned long code) noexcept;

// Whether anything exists at the path, following symbolic links: a directory
// counts as much as a file, a dangling link as nothing. A query that fails for
// another reason raises the filesystem error "exists".
bool Exists(const std::wstring& path);

// Whether a directory, or a link to one, is at the path. Asked in the
// extended-length form, so that a device name such as NUL or AUX answers as
// absent rather than as the device; a failed query answers false.
bool IsDirectory(const std::wstring& path);

// The path itself or the nearest of its ancestors that is a directory, as the
// path spells it and without trailing separators; the volume root (or its
// name, such as C:) when none below it is.
std::wstring DeepestExistingDirectory(const std::wstring& path);

// The path of an existing directory with its 8.3 names spelled out long;
// unchanged when the system cannot say: Wine expands no \\?\ path, and
// Windows no plain one past MAX_PATH.
std::wstring LongDirectoryPath(const std::wstring& directory);

}  // namespace orvanta
