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

// What a run confirmed with OK said.
struct Outcome {
  DWORD exitCode = 0xDEAD;
  std::wstring confirmation;  // the confirmation text, empty when none was shown
  std::wstring failure;       // the failure text, empty when none was shown
  bool completion = false;    // whether the completion dialog was shown
};

// Runs `program` (the one under test when not given): OK in the confirmation,
// then No in the completion dialog or OK in a failure dialog. Calls inspect
// (if given) while the confirmation dialog is open.
inline Outcome RunConfirmed(const std::wstring& program, const std::vector<std::wstring>& arguments,
                            void (*inspect)(HWND confirmation) = nullptr) {
  const Inputs saved = TestInputs();
  Inputs inputs = saved;
  inputs.setupProgram = program;
  SetTestInputs(inputs);
  Outcome outcome;
  {
    SetupRun run(arguments);
    auto dialog = run.NextDialog();
    if (dialog && dialog->title == L"Orvanta 安装") {
      outcome.confirmation = dialog->text;
      if (inspect != nullptr) inspect(dialog->window);
      dialog->Press(IDOK);
      dialog = run.NextDialog();
    } else {
      ADD_FAILURE() << "no confirmation dialog";
    }
    if (dialog && dialog->title == L"Orvanta 安装失败") {
      outcome.failure = dialog->text;
      dialog->Press(IDOK);
    } else if (dialog && dialog->title == L"Orvanta") {
      outcome.completion = true;
      dialog->Press(IDNO);
    } else if (dialog) {
      ADD_FAILURE() << "unexpected dialog: " << testing::PrintToString(dialog->title);
    }
    outcome.exitCode = run.ExitCode();
  }
  SetTestInputs(saved);
  return outcome;
}

inline Outcome RunConfirmed(const std::vector<std::wstring>& arguments) {
  return RunConfirmed(TestInputs().setupProgram, arguments);
}

// A confirmed run that must fail with this message and change nothing in the profile.
inline void ExpectRefusedUnchanged(const Profile& profile,
                                   const std::vector<std::wstring>& arguments,
                                   const std::wstring& message) {
  const Tree before = Snapshot(profile.root());
  const Outcome run = RunConfirmed(arguments);
  EXPECT_EQ(run.failure, message);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(Snapshot(profile.root()), before) << "a refusal must change nothing";
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

// The text with every `from` replaced by `to`.
inline std::wstring Replaced(const std::wstring& text, wchar_t from, const std::wstring& to) {
  std::wstring out;
  for (const wchar_t unit : text) out += unit == from ? to : std::wstring(1, unit);
  return out;
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
