#include "base/path.h"

#include <algorithm>

namespace orvanta {

std::size_t SkipSeparators(std::wstring_view path, std::size_t pos) noexcept {
  while (pos < path.size() && IsSeparator(path[pos])) ++pos;
  return pos;
}

std::size_t NameEnd(std::wstring_view path, std::size_t pos) noexcept {
  while (pos < path.size() && !IsSeparator(path[pos])) ++pos;
  return pos;
}

namespace {

constexpr wchar_t kPreferred = L'\\';

bool IsAsciiLetter(wchar_t c) noexcept {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDriveDesignator(std::wstring_view path) noexcept {
  return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':';
}

// \\?\ , \\.\ and \??\ followed by something that is not a separator.
bool HasDevicePrefix(std::wstring_view p) noexcept {
  if (p.size() < 4 || !IsSeparator(p[0]) || !IsSeparator(p[3])) return false;
  if (p.size() > 4 && IsSeparator(p[4])) return false;
  const bool slashSlash = IsSeparator(p[1]) && (p[2] == L'?' || p[2] == L'.');
  const bool questionPair = p[1] == L'?' && p[2] == L'?';
  return slashSlash || questionPair;
}

// The end of the element that starts at pos, and of the separators after it.
std::size_t SkipElement(std::wstring_view path, std::size_t pos) noexcept {
  return SkipSeparators(path, NameEnd(path, pos));
}

wchar_t FoldAscii(wchar_t c) noexcept {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The name that ends just before the separator at the end of a normalised
// run of elements; empty when the run does not end in a name and a separator.
std::wstring_view NameBeforeSeparator(std::wstring_view elements) noexcept {
  if (elements.size() < 2 || elements.back() != kPreferred) return {};
  elements.remove_suffix(1);
  return elements.substr(elements.find_last_of(kPreferred) + 1);
}

// Takes a ".." into the elements normalised so far, which follow the root name:
// it cancels the name before it (not another ".."), and refers to nothing
// directly below the root directory. False when it stays.
bool CancelsDotDot(std::wstring& normal, std::size_t rootName) {
  const std::wstring_view done = std::wstring_view(normal).substr(rootName);
  const std::wstring_view previous = NameBeforeSeparator(done);
  if (!previous.empty() && previous != L"..") {
    normal.resize(normal.size() - previous.size() - 1);
    return true;
  }
  return done == L"\\";
}

// \\?\Volume{...}: a volume by its GUID, the root of whatever drive it is.
bool IsVolumeGuidName(std::wstring_view name) noexcept {
  constexpr std::wstring_view kVolume = L"Volume{";
  return name.size() > kVolume.size() &&
         EqualIgnoringAsciiCase(name.substr(0, kVolume.size()), kVolume) && name.back() == L'}';
}

bool IsLocalDevicePath(std::wstring_view path) noexcept {
  return HasDevicePrefix(path) && IsSeparator(path[1]) && path[2] == L'.';
}

bool IsPortDigit(wchar_t c) noexcept {
  return (c >= L'1' && c <= L'9') || c == L'\u00B9' || c == L'\u00B2' || c == L'\u00B3';
}

// A name that the system's path rules take for a device: the part before the
// first dot (or colon), blanks before that dot not counted, in any letter case.
bool IsReservedName(std::wstring_view element) noexcept {
  std::wstring_view base = element.substr(0, element.find_first_of(L".:"));
  while (!base.empty() && base.back() == L' ') base.remove_suffix(1);
  for (const std::wstring_view device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
    if (EqualIgnoringAsciiCase(base, device)) return true;
  }
  const bool port = base.size() == 4 && (EqualIgnoringAsciiCase(base.substr(0, 3), L"COM") ||
                                         EqualIgnoringAsciiCase(base.substr(0, 3), L"LPT"));
  return port && IsPortDigit(base[3]);
}

bool IsUnusableElement(std::wstring_view element) noexcept {
  if (element.empty() || element == L"." || element == L"..") return false;
  return element.back() == L' ' || element.back() == L'.' || IsReservedName(element);
}

}  // namespace

bool IsSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

std::size_t RootNameLength(std::wstring_view path) noexcept {
  if (path.size() < 2) return 0;
  if (HasDriveDesignator(path)) return 2;
  if (!IsSeparator(path[0])) return 0;
  if (HasDevicePrefix(path)) return 3;
  if (path.size() >= 3 && IsSeparator(path[1]) && !IsSeparator(path[2])) {
    return NameEnd(path, 3);
  }
  return 0;
}

std::size_t RootLength(std::wstring_view path) noexcept {
  return SkipSeparators(path, RootNameLength(path));
}

std::size_t VolumeRootLength(std::wstring_view path) noexcept {
  if (!HasDevicePrefix(path)) {
    const std::size_t root = RootLength(path);
    // \\server\share: the share belongs to the volume.
    return RootNameLength(path) > 2 ? SkipElement(path, root) : root;
  }
  const std::size_t volume = RootLength(path);
  const std::wstring_view rest = path.substr(volume);
  if (HasDriveDesignator(rest)) return SkipSeparators(path, volume + 2);
  const bool unc =
      rest.size() > 3 && EqualIgnoringAsciiCase(rest.substr(0, 3), L"UNC") && IsSeparator(rest[3]);
  if (unc) return SkipElement(path, SkipElement(path, SkipSeparators(path, volume + 3)));
  return SkipElement(path, volume);
}

std::wstring ExtendedLengthPath(std::wstring_view path) {
  if (HasDevicePrefix(path)) return std::wstring(path);
  const std::size_t rootName = RootNameLength(path);
  const bool driveAbsolute = rootName == 2 && path.size() > 2 && IsSeparator(path[2]);
  const bool unc = rootName > 2;
  if (driveAbsolute) return LexicallyNormal(path).insert(0, L"\\\\?\\");
  if (unc) return LexicallyNormal(path).replace(0, 1, L"\\\\?\\UNC");
  return std::wstring(path);
}

std::wstring PlainPath(std::wstring_view path) {
  if (!HasDevicePrefix(path) || !IsSeparator(path[1]) || path[2] != L'?') {
    return std::wstring(path);
  }
  const std::wstring_view rest = path.substr(4);
  if (HasDriveDesignator(rest)) return std::wstring(rest);
  const bool unc =
      rest.size() > 3 && EqualIgnoringAsciiCase(rest.substr(0, 3), L"UNC") && IsSeparator(rest[3]);
  if (unc) return L"\\" + std::wstring(rest.substr(3));
  return std::wstring(path);
}

std::wstring AppendPath(std::wstring_view left, std::wstring_view name) {
  std::wstring joined(left);
  const bool bareDrive = left.size() == 2 && HasDriveDesignator(left);
  if (!left.empty() && !IsSeparator(left.back()) && !bareDrive) joined += kPreferred;
  joined += name;
  return joined;
}

std::wstring LexicallyNormal(std::wstring_view path) {
  if (path.empty()) return {};
  const std::size_t rootName = RootNameLength(path);
  std::wstring normal(path.substr(0, rootName));
  std::replace(normal.begin(), normal.end(), L'/', kPreferred);

  // One pass: a run of separators becomes one; "." and a ".." that cancels go
  // away together with the separators after them.
  for (std::size_t pos = rootName; pos < path.size();) {
    if (IsSeparator(path[pos])) {
      normal += kPreferred;
      pos = SkipSeparators(path, pos);
      continue;
    }
    const std::size_t end = NameEnd(path, pos);
    const std::wstring_view name = path.substr(pos, end - pos);
    if (name == L"." || (name == L".." && CancelsDotDot(normal, rootName))) {
      pos = SkipSeparators(path, end);
    } else {
      normal += name;
      pos = end;
    }
  }
  // A ".." that stays keeps no separator after it.
  if (NameBeforeSeparator(std::wstring_view(normal).substr(rootName)) == L"..") normal.pop_back();
  if (normal.empty()) normal = L".";
  return normal;
}

bool IsRootOnly(std::wstring_view path) noexcept {
  const std::size_t root = RootLength(path);
  if (root == path.size()) return true;
  if (!HasDevicePrefix(path)) return false;
  const std::wstring_view rest = path.substr(root);
  const std::size_t end = NameEnd(rest, 0);
  const std::wstring_view name = rest.substr(0, end);
  const bool volume = (name.size() == 2 && HasDriveDesignator(name)) || IsVolumeGuidName(name);
  return volume && SkipSeparators(rest, end) == rest.size();
}

bool HasUnusableName(std::wstring_view given, std::wstring_view absolute, std::size_t existing) {
  if (IsLocalDevicePath(absolute) && !IsLocalDevicePath(given)) return true;
  for (std::size_t pos = VolumeRootLength(absolute); pos < absolute.size();) {
    const std::size_t end = NameEnd(absolute, pos);
    if (pos >= existing && IsUnusableElement(absolute.substr(pos, end - pos))) return true;
    pos = SkipSeparators(absolute, end);
  }
  return false;
}

std::wstring ParentPath(std::wstring_view path) {
  const std::size_t root = RootLength(path);
  std::size_t end = path.size();
  while (end > root && !IsSeparator(path[end - 1])) --end;
  while (end > root && IsSeparator(path[end - 1])) --end;
  return std::wstring(path.substr(0, end));
}

bool EqualIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) noexcept {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](wchar_t x, wchar_t y) { return FoldAscii(x) == FoldAscii(y); });
}

}  // namespace orvanta
