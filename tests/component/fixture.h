#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>

#include "base/win_handles.h"
#include "shared/files.h"
#include "shared/wine.h"

// What every component test needs: COM on the thread and a fresh directory
// under %TEMP%, both gone again when the test ends, failed or not.
namespace orvanta::test {

class ComponentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The name joined onto the test's own directory.
  std::wstring Path(std::wstring_view name) const;
  const std::wstring& dir() const { return dir_; }

 private:
  ComApartment com_;
  std::wstring dir_;
};

// A file of the generated test payloads, read from the build tree.
std::string PayloadBytes(const char* name);

bool IsDirectory(const std::wstring& path);
// How many entries the directory holds, "." and ".." not counted.
int CountEntries(const std::wstring& directory);
// Deletes the directory with everything in it, read-only files included.
void RemoveTree(const std::wstring& directory);

// Opens an existing file as another program would, to hold it while a test
// runs; the caller owns the handle at once: FileHandle held(OpenHeld(...)).
HANDLE OpenHeld(const std::wstring& path, DWORD access, DWORD share);

// The security descriptor that the SDDL text describes; a test failure when
// it does not parse.
LocalPtr<void> FromSddl(const std::wstring& text);

// A SID as text, and that of the user the test runs as.
std::wstring SidText(PSID sid);
std::wstring UserSid();

// Holds a file as a virus scanner holds one it glances at (read, sharing only
// reading unless told otherwise) and lets go after the given time on a thread
// of its own. The destructor waits for the release.
class MomentaryHold {
 public:
  MomentaryHold(const std::wstring& path, DWORD milliseconds, DWORD share = FILE_SHARE_READ);
  ~MomentaryHold();
  MomentaryHold(const MomentaryHold&) = delete;
  MomentaryHold& operator=(const MomentaryHold&) = delete;

  // Whether the file is held and its release is under way.
  bool started() const noexcept { return releaser_ != nullptr; }

 private:
  static DWORD WINAPI Release(void* self);

  FileHandle file_;
  DWORD milliseconds_;
  HANDLE releaser_ = nullptr;
};

// The text of the SetupError that the action raises; "<no error>" when it
// raises none. Any other exception passes through to the test.
std::string SetupErrorText(const std::function<void()>& action);

}  // namespace orvanta::test
