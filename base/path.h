#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The Windows path grammar as the setup program needs it. It is plain text
// processing: nothing here touches the file system. The standard library's
// path class under mingw has no root name for \\server\share or \\?\ paths,
// so the grammar is kept here, where it can be tested on its own.
namespace orvanta {

bool IsSeparator(wchar_t c) noexcept;

// The first position at or after pos that is not a separator.
std::size_t SkipSeparators(std::wstring_view path, std::size_t pos) noexcept;

// The end of the name that starts at pos: the next separator, or the path's end.
std::size_t NameEnd(std::wstring_view path, std::size_t pos) noexcept;

// Length of the root name: "C:" (a drive designator), "\\?", "\\.", "\??"
// (device prefixes) or "\\server"; 0 when the path has none.
std::size_t RootNameLength(std::wstring_view path) noexcept;

// The root name together with every separator that directly follows it.
std::size_t RootLength(std::wstring_view path) noexcept;

// Length of the volume root: C:\, \\?\C:\, \\.\C:\, \\?\UNC\server\share\,
// \\server\share\ or \\?\Volume{...}\, each with the separators that follow it.
// Nothing at or above it can be created, and Windows refuses to query a bare
// volume name such as \\?\C: or \\?\UNC. Without a volume, the root length.
std::size_t VolumeRootLength(std::wstring_view path) noexcept;

// The extended-length form of an absolute path (\\?\C:\..., \\?\UNC\server\share\...),
// lexically normalised, which the file functions accept beyond MAX_PATH
// whatever the machine's long-path policy. A path with a device prefix, and a
// relative one, stays as it is.
std::wstring ExtendedLengthPath(std::wstring_view path);

// The form of an extended-length path that the shell can parse: C:\... for
// \\?\C:\..., \\server\share\... for \\?\UNC\server\share\.... Any other path,
// \\?\Volume{...} and \\.\ paths included, stays as it is.
std::wstring PlainPath(std::wstring_view path);

// Joins one relative name onto a path: exactly one backslash between the two,
// none added when the left part is empty, ends in a separator or is a bare
// drive designator.
std::wstring AppendPath(std::wstring_view left, std::wstring_view name);

// Generic-path normalisation with '\' as the preferred separator. Letter case
// is kept; a separator after an ordinary last element stays.
std::wstring LexicallyNormal(std::wstring_view path);

// True when nothing follows the root (the empty path included), and for a
// device prefix followed by nothing but a drive designator or a volume GUID:
// \\?\C:\ names the same root as C:\, and so does \\?\Volume{...}\.
bool IsRootOnly(std::wstring_view path) noexcept;

// Whether the absolute form of a path would make a name that only the
// extended form creates, and that Explorer then can neither rename nor
// delete: an element that ends in a blank or a dot, or that is a reserved
// device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, COM and LPT
// with a superscript 1, 2 or 3, CONIN$, CONOUT$) in any letter case, with or
// without an extension. Only elements that begin at or after `existing`, the
// length of the leading part that already exists, and below the volume root
// count: a folder that exists has proved usable, and Windows 11 lets a user
// own one named AUX or con.d. "." and ".." are not names. `given` is the path
// before it was made absolute: an absolute form \\.\ that it did not have
// is the system's answer for a device name (C:\Apps\NUL gives \\.\NUL).
bool HasUnusableName(std::wstring_view given, std::wstring_view absolute, std::size_t existing);

// The path without its last element and without the separators that then
// trail it, never cutting into the root: D:\Apps\Orvanta.exe gives D:\Apps,
// D:\Orvanta.exe gives D:\.
std::wstring ParentPath(std::wstring_view path);

// Equality that folds only the letters A to Z; every other unit is compared
// as it is, so the answer never depends on the locale.
bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) noexcept;

}  // namespace orvanta
