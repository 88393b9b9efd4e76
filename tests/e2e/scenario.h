#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "e2e/harness.h"
#include "raw_link.h"

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

// A shell link that stores exactly this ASCII target text.
inline void WriteRawLink(const std::wstring& path, std::string_view storedTarget) {
  WriteBytes(path, test::RawLinkBytes(storedTarget));
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
