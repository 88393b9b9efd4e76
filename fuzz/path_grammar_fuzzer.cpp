#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "base/path.h"
#include "fuzz_input.h"

// Properties of the path grammar over any UTF-16 text. The input is one path,
// or two separated by a NUL unit, which never occurs inside a real path.
namespace orvanta::fuzz {
namespace {

bool IsSlash(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring FoldAscii(std::wstring text) {
  for (auto& c : text) {
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + (L'a' - L'A'));
  }
  return text;
}

std::size_t SlashesFrom(std::wstring_view path, std::size_t pos) {
  while (pos < path.size() && IsSlash(path[pos])) ++pos;
  return pos;
}

// The root-name grammar written out again from its description, so that the
// product's version is checked against something that does not share code.
bool ReferenceDevicePrefix(std::wstring_view p) {
  if (p.size() < 4 || !IsSlash(p[0]) || !IsSlash(p[3])) return false;
  if (p.size() > 4 && IsSlash(p[4])) return false;
  return (IsSlash(p[1]) && (p[2] == L'?' || p[2] == L'.')) || (p[1] == L'?' && p[2] == L'?');
}

std::size_t ReferenceRootName(std::wstring_view p) {
  const auto letter = [](wchar_t c) { return (c | 0x20) >= L'a' && (c | 0x20) <= L'z'; };
  if (p.size() >= 2 && letter(p[0]) && p[1] == L':') return 2;
  if (ReferenceDevicePrefix(p)) return 3;
  if (p.size() < 3 || !IsSlash(p[0]) || !IsSlash(p[1]) || IsSlash(p[2])) return 0;
  std::size_t end = 3;
  while (end < p.size() && !IsSlash(p[end])) ++end;
  return end;
}

std::size_t ElementEnd(std::wstring_view p, std::size_t pos) {
  while (pos < p.size() && !IsSlash(p[pos])) ++pos;
  return pos;
}

bool ReferenceVolumeGuid(std::wstring_view name) {
  return name.size() >= 8 && FoldAscii(std::wstring(name.substr(0, 7))) == L"volume{" &&
         name.back() == L'}';
}

bool ReferenceRootOnly(std::wstring_view p) {
  const std::size_t rootName = ReferenceRootName(p);
  const std::size_t afterRoot = SlashesFrom(p, rootName);
  if (afterRoot == p.size()) return true;
  // \\?\C:\ and \??\C: name the same root as C:\, and so does \\?\Volume{...}\.
  if (!ReferenceDevicePrefix(p)) return false;
  const std::wstring_view rest = p.substr(afterRoot);
  const std::size_t end = ElementEnd(rest, 0);
  const bool drive = end == 2 && ReferenceRootName(rest) == 2;
  return (drive || ReferenceVolumeGuid(rest.substr(0, end))) &&
         SlashesFrom(rest, end) == rest.size();
}

// Where the elements that the program may create begin: after the drive, the
// server and share, or the device and volume name.
std::size_t ReferenceVolumeEnd(std::wstring_view p) {
  const std::size_t rootName = ReferenceRootName(p);
  const std::size_t afterRoot = SlashesFrom(p, rootName);
  if (!ReferenceDevicePrefix(p)) {
    return rootName > 2 ? SlashesFrom(p, ElementEnd(p, afterRoot)) : afterRoot;
  }
  const std::wstring_view rest = p.substr(afterRoot);
  if (ReferenceRootName(rest) == 2) return SlashesFrom(p, afterRoot + 2);
  if (rest.size() > 3 && FoldAscii(std::wstring(rest.substr(0, 3))) == L"unc" && IsSlash(rest[3])) {
    const std::size_t server = SlashesFrom(p, ElementEnd(p, SlashesFrom(p, afterRoot + 3)));
    return SlashesFrom(p, ElementEnd(p, server));
  }
  return SlashesFrom(p, ElementEnd(p, afterRoot));
}

const std::set<std::wstring>& ReferenceDevices() {
  static const std::set<std::wstring> devices = [] {
    std::set<std::wstring> names = {L"con", L"prn", L"aux", L"nul", L"conin$", L"conout$"};
    for (const wchar_t digit : std::wstring(L"123456789\u00B9\u00B2\u00B3")) {
      names.insert(std::wstring(L"com") + digit);
      names.insert(std::wstring(L"lpt") + digit);
    }
    return names;
  }();
  return devices;
}

bool ReferenceUnusableElement(const std::wstring& name) {
  if (name == L"." || name == L"..") return false;
  if (name.back() == L' ' || name.back() == L'.') return true;
  std::wstring base = name.substr(0, std::min(name.find(L'.'), name.find(L':')));
  base.erase(base.find_last_not_of(L' ') + 1);
  return ReferenceDevices().count(FoldAscii(base)) > 0;
}

bool ReferenceLocalDevice(std::wstring_view p) { return ReferenceDevicePrefix(p) && p[2] == L'.'; }

// Only names that begin at or after `existing` count: the folders before it exist.
bool ReferenceUnusable(std::wstring_view given, std::wstring_view absolute, std::size_t existing) {
  if (ReferenceLocalDevice(absolute) && !ReferenceLocalDevice(given)) return true;
  std::wstring name;
  std::size_t start = 0;
  for (std::size_t i = ReferenceVolumeEnd(absolute); i <= absolute.size(); ++i) {
    if (i < absolute.size() && !IsSlash(absolute[i])) {
      if (name.empty()) start = i;
      name += absolute[i];
      continue;
    }
    if (!name.empty() && start >= existing && ReferenceUnusableElement(name)) return true;
    name.clear();
  }
  return false;
}

std::wstring RootNameOf(std::wstring_view path) {
  std::wstring name(path.substr(0, RootNameLength(path)));
  std::replace(name.begin(), name.end(), L'/', L'\\');
  return name;
}

bool HasDoubledSeparator(std::wstring_view path, std::size_t from) {
  for (std::size_t i = from; i + 1 < path.size(); ++i) {
    if (IsSlash(path[i]) && IsSlash(path[i + 1])) return true;
  }
  return false;
}

void CheckGrammar(const std::wstring& x) {
  Require(RootNameLength(x) == ReferenceRootName(x), "root name follows the grammar", x);
  Require(RootLength(x) == SlashesFrom(x, RootNameLength(x)),
          "root takes the separators after the name", x);
  Require(IsRootOnly(x) == ReferenceRootOnly(x), "IsRootOnly agrees with the grammar", x);
}

void CheckNormal(const std::wstring& x) {
  const std::wstring normal = LexicallyNormal(x);
  Require(normal.empty() == x.empty(), "only the empty path normalises to empty", x);
  if (x.empty()) return;
  // A root name that dropping leading elements exposes (.\a:b gives a:b,
  // \??\\x gives \??\x) is read as one the next time, so such inputs are
  // spared idempotence and the root-name check.
  const std::size_t rootName = RootNameLength(x);
  const bool rootExposed = rootName == 0 && RootNameLength(normal) > 0;
  if (!rootExposed) Require(LexicallyNormal(normal) == normal, "normalisation is idempotent", x);
  Require(FoldAscii(normal) == LexicallyNormal(FoldAscii(x)), "letter case is kept", x);
  Require(normal.find(L'/') == normal.npos, "only backslashes come out", x);
  if (!rootExposed) Require(RootNameOf(normal) == RootNameOf(x), "the root name is kept", x);
  if (RootLength(x) > rootName) {
    Require(normal.size() > rootName && normal[rootName] == L'\\', "a root directory is kept", x);
  }
  Require(!HasDoubledSeparator(normal, RootNameLength(normal)), "no doubled separator", x);
}

void CheckVolume(const std::wstring& x) {
  const std::size_t volume = VolumeRootLength(x);
  Require(volume >= RootLength(x) && volume <= x.size(), "the volume root holds the root", x);
  const std::wstring extended = ExtendedLengthPath(x);
  Require(ExtendedLengthPath(extended) == extended, "the extended form is a fixed point", x);
}

void CheckUnusable(const std::wstring& given, const std::wstring& absolute, std::size_t existing) {
  Require(
      HasUnusableName(given, absolute, existing) == ReferenceUnusable(given, absolute, existing),
      "unusable names follow the rule", given + L'\0' + absolute);
}

void CheckParent(const std::wstring& x) {
  const std::wstring parent = ParentPath(x);
  Require(x.starts_with(parent), "the parent is a prefix", x);
  Require(parent.size() >= RootLength(x), "the parent keeps the root", x);
  if (parent.size() > RootLength(x)) {
    Require(!IsSlash(parent.back()), "no separator trails the parent", x);
  }
}

void CheckAppend(const std::wstring& left, const std::wstring& name) {
  const std::wstring joined = AppendPath(left, name);
  Require(joined.starts_with(left) && joined.ends_with(name), "the join keeps both parts", joined);
  const bool bareDrive = left.size() == 2 && ReferenceRootName(left) == 2;
  const bool needsSeparator = !left.empty() && !IsSlash(left.back()) && !bareDrive;
  const std::size_t added = needsSeparator ? 1 : 0;
  Require(joined.size() == left.size() + name.size() + added, "one separator at most", joined);
  if (needsSeparator) Require(joined[left.size()] == L'\\', "the added separator is '\\'", joined);
}

void CheckAsciiFolding(const std::wstring& a, const std::wstring& b) {
  Require(EqualIgnoringAsciiCase(a, b) == (FoldAscii(a) == FoldAscii(b)), "ASCII folding", a);
  // Flipping bit 0x20 is a change of case for ASCII letters and a different
  // character for everything else, accented letters included.
  std::wstring flipped = a;
  for (auto& c : flipped) c ^= 0x20;
  const bool allLetters = std::all_of(a.begin(), a.end(), [](wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
  });
  Require(EqualIgnoringAsciiCase(a, flipped) == allLetters, "only A to Z fold", a);
}

}  // namespace
}  // namespace orvanta::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvanta::fuzz;
  const std::wstring input = WideFromUnits(data, size);
  const auto parts = SplitAt<wchar_t>(input, L'\0');
  for (const auto& part : parts) {
    CheckGrammar(part);
    CheckNormal(part);
    CheckParent(part);
    CheckVolume(part);
    CheckUnusable(part, part, 0);
    CheckUnusable(part, part, orvanta::ParentPath(part).size());
  }
  const std::wstring& second = parts.size() > 1 ? parts[1] : parts[0];
  CheckAppend(parts[0], second);
  // The third part's length stands for any length of an existing leading part.
  CheckUnusable(parts[0], second, parts.size() > 2 ? parts[2].size() : 0);
  CheckAsciiFolding(parts[0], second);
  return 0;
}
