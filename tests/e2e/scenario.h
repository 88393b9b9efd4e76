#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/harness.h"

// Steps shared by the ownership, shortcut and removal scenarios: runs answered
// as a user would, snapshots that show a refusal changed nothing, and links
// whose stored target text the test chooses byte for byte. Header-only, since
// the suite builds every *_test.cpp with the harness and nothing else.
namespace orvanta::e2e {

// The names the setup program installs, and the marker's exact content.
inline constexpr wchar_t kExecutable[] = L"Orvanta.exe";
inline constexpr wchar_t kReadme[] = L"README.md";
inline constexpr wchar_t kMarker[] = L"Orvanta-Native.install";
inline constexpr char kMarkerBytes[] = "Orvanta-Native installer v1\n";

inline std::wstring Join(const std::wstring& directory, const std::wstring& name) {
  return directory + L"\\" + name;
}

// Relative path of every entry below a directory, to "<dir>" or to the size
// and a hash of its bytes, so that a failed comparison stays readable.
using Tree = std::map<std::wstring, std::string>;

inline std::string Fingerprint(const std::string& bytes) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (const char byte : bytes) {
    hash = (hash ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
  }
  return std::to_string(bytes.size()) + " bytes #" + std::to_string(hash);
}

namespace detail {

inline bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

inline void AddEntries(const std::wstring& directory, const std::wstring& prefix, Tree& tree) {
  for (const auto& name : ListNames(directory)) {
    const std::wstring path = Join(directory, name);
    if (IsDirectory(path)) {
      tree[prefix + name] = "<dir>";
      AddEntries(path, prefix + name + L"\\", tree);
    } else {
      tree[prefix + name] = Fingerprint(ReadBytes(path).value_or("<unreadable>"));
    }
  }
}

inline void Put32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(value >> shift));
}

inline std::string LinkHeader() {
  constexpr std::uint32_t kHeaderSize = 0x4C;
  constexpr std::uint32_t kHasLinkInfo = 0x2;
  constexpr std::uint32_t kIsUnicode = 0x80;
  constexpr std::uint32_t kShowNormal = 1;
  // CLSID_ShellLink as stored on disk.
  constexpr char kClsid[] = "\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46";
  std::string out;
  Put32(out, kHeaderSize);
  out.append(kClsid, 16);
  Put32(out, kHasLinkInfo | kIsUnicode);
  out.append(4 + 3 * 8 + 4 + 4, '\0');  // attributes, three times, size, icon index
  Put32(out, kShowNormal);
  out.append(2 + 2 + 4 + 4, '\0');  // hotkey and reserved fields
  return out;
}

// A link-info block with a volume id and a local base path, nothing else.
inline std::string LinkInfo(std::string_view target) {
  constexpr std::uint32_t kInfoHeaderSize = 0x1C;
  constexpr std::uint32_t kVolumeIdAndLocalBasePath = 0x1;
  constexpr std::uint32_t kVolumeIdSize = 0x11;
  constexpr std::uint32_t kFixedDrive = 3;
  constexpr std::uint32_t kEmptyLabelOffset = 0x10;
  const std::uint32_t basePath = kInfoHeaderSize + kVolumeIdSize;
  const std::uint32_t suffix = basePath + static_cast<std::uint32_t>(target.size()) + 1;
  std::string out;
  for (const std::uint32_t field :
       {suffix + 1, kInfoHeaderSize, kVolumeIdAndLocalBasePath, kInfoHeaderSize, basePath, 0u,
        suffix, kVolumeIdSize, kFixedDrive, 0u, kEmptyLabelOffset}) {
    Put32(out, field);
  }
  out.push_back('\0');  // the empty volume label
  out += target;
  out.append(2, '\0');  // end of the base path, empty common suffix
  return out;
}

}  // namespace detail

inline Tree Snapshot(const std::wstring& directory) {
  Tree tree;
  detail::AddEntries(directory, L"", tree);
  return tree;
}

// A run confirmed with OK. The dialog that follows, if any, is read and
// closed: No to the completion dialog, OK to the failure dialog.
struct ConfirmedRun {
  std::wstring confirmationText;
  std::wstring nextTitle;  // empty when no second dialog came
  std::wstring nextText;
  DWORD exitCode = 0;
};

inline ConfirmedRun RunConfirmed(const std::vector<std::wstring>& arguments) {
  ConfirmedRun result;
  SetupRun run(arguments);
  auto confirmation = run.NextDialog();
  if (!confirmation) {
    ADD_FAILURE() << "no confirmation dialog";
    return result;
  }
  result.confirmationText = confirmation->text;
  confirmation->Press(IDOK);
  if (auto next = run.NextDialog()) {
    result.nextTitle = next->title;
    result.nextText = next->text;
    next->Press(next->Has(IDNO) ? IDNO : IDOK);
  }
  result.exitCode = run.ExitCode();
  return result;
}

// Payload files with other bytes, as an earlier version would leave them.
inline void PlantOldPayload(const std::wstring& directory) {
  WriteBytes(Join(directory, kExecutable), "an earlier executable");
  WriteBytes(Join(directory, kReadme), "an earlier read-me");
}

// A shell link that stores exactly this ASCII target text. The shell-link
// object would normalise it on SetPath, so the bytes are written directly.
inline void WriteRawLink(const std::wstring& path, std::string_view storedTarget) {
  WriteBytes(path, detail::LinkHeader() + detail::LinkInfo(storedTarget) + std::string(4, '\0'));
}

inline std::string Narrow(const std::wstring& ascii) {
  std::string narrow;
  for (const wchar_t unit : ascii) {
    EXPECT_LT(unit, 0x80) << "the test expects an ASCII path";
    narrow.push_back(static_cast<char>(unit));
  }
  return narrow;
}

// Sets a variable in this process, and so in the setup runs it starts.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const std::wstring& value) : name_(name) {
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnvironment() { SetEnvironmentVariableW(name_.c_str(), nullptr); }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
};

}  // namespace orvanta::e2e
