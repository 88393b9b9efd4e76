#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "shared/files.h"
#include "shared/shell_link.h"
#include "shared/wine.h"

// Runs the built setup program as a user or a script would, in a profile of
// its own, and looks at what it did: its dialogs, its exit code, the files.
namespace orvanta::e2e {

// Paths handed to the test program on its command line.
struct Inputs {
  std::wstring setupProgram;  // Orvanta-Setup.exe
  std::wstring payloadDir;    // the staged Orvanta.exe and README.md it embeds
};
const Inputs& TestInputs();
// Takes the paths with either separator, as CMake writes them, and keeps them
// with backslashes, as the setup program reports paths.
void SetTestInputs(Inputs inputs);
using test::WindowsPath;

// Whether the tests run under Wine, which differs from Windows where some
// tests look; those tests skip there and say why.
using test::UnderWine;

// Starts a program as CreateProcessW does, from `directory` when one is
// given. When Windows refuses, fails the test with the command line and the
// error code and returns empty handles.
PROCESS_INFORMATION StartProgram(const std::wstring& program, const std::wstring& commandLine,
                                 const std::wstring& directory = L"");
// Runs the program's tests with COM, and prints at the end how many starts
// were tried again after Wine failed them.
int RunAllTests();
// Waits up to `timeoutMs` for a started program to end and returns its exit
// code; fails the test with the command line and the reason when it does not.
std::optional<DWORD> AwaitExit(const PROCESS_INFORMATION& process, const std::wstring& commandLine,
                               DWORD timeoutMs);
std::wstring QuoteArgument(const std::wstring& argument);

// A fresh local application-data folder and Start-menu Programs folder for
// one test, redirected in the registry and restored by the destructor, so
// also after a failed assertion. On Windows these are the user's real
// folders: the first profile also copies the original values to a key of
// their own, which the destructor of the last one deletes, so that a run that
// dies before then is mended by the next one.
class Profile {
 public:
  Profile();
  // The local application-data folder gets this name below the profile's
  // root, so that a test can give it characters outside ASCII.
  explicit Profile(const std::wstring& localFolderName);
  ~Profile();
  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  const std::wstring& root() const { return root_; }
  const std::wstring& localAppData() const { return localAppData_; }
  const std::wstring& programs() const { return programs_; }
  std::wstring defaultTarget() const;  // Programs\Orvanta below localAppData
  std::wstring primaryShortcut() const;
  std::wstring legacyShortcut() const;
  // Points a folder at a directory that does not exist, so the shell fails.
  void BreakLocalAppData();
  void BreakPrograms();

 private:
  std::wstring root_;
  std::wstring localAppData_;
  std::wstring programs_;
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

// A message box as the user sees it.
struct Dialog {
  HWND window = nullptr;
  std::wstring title;
  std::wstring text;
  bool Has(int buttonId) const;
  void Press(int buttonId) const;
  // Closes the box as its close button does.
  void Close() const;
};

// How long a test waits for a program, a dialog or a window before it calls
// it a hang: a loaded machine takes seconds where an idle one takes a fraction.
inline constexpr DWORD kHangMs = 120000;

// One run of the setup program.
class SetupRun {
 public:
  explicit SetupRun(const std::vector<std::wstring>& arguments,
                    const std::wstring& currentDirectory = L"");
  ~SetupRun();
  SetupRun(const SetupRun&) = delete;
  SetupRun& operator=(const SetupRun&) = delete;

  // The next message box of this run; nullopt when the run ends without one
  // (or does not end in time, which fails the test).
  std::optional<Dialog> NextDialog(DWORD timeoutMs = kHangMs);
  // Waits for the exit and returns the exit code; fails the test if a dialog
  // is still waiting or the run does not end in time.
  DWORD ExitCode(DWORD timeoutMs = kHangMs);
  // Whether any message box was seen while waiting.
  bool sawDialog() const { return sawDialog_; }
  DWORD processId() const { return process_.dwProcessId; }

 private:
  std::wstring commandLine_;
  PROCESS_INFORMATION process_{};
  bool sawDialog_ = false;
};

// Runs with --quiet added and returns the exit code, failing on any dialog.
DWORD RunQuiet(std::vector<std::wstring> arguments);

// The last lines of the confirmation of an install and of a removal.
inline const std::wstring kClosingNote = L"\n\n无需额外运行时。配置独立保存在当前用户目录。";
// The whole text of the confirmation of an install into `target`.
inline std::wstring InstallConfirmation(const std::wstring& target) {
  return L"安装 Orvanta 到：\n" + target + kClosingNote;
}

// Runs, expects the confirmation dialog with OK and Cancel, cancels it and
// expects exit code 0; returns the dialog's text (empty when none was shown).
std::wstring ConfirmationDialogText(const std::vector<std::wstring>& arguments,
                                    const std::wstring& currentDirectory = L"");
// Runs, expects the failure dialog as the first one, answers it and expects
// exit code 1; returns the dialog's text (empty when none was shown).
std::wstring FailureDialogText(const std::vector<std::wstring>& arguments,
                               const std::wstring& currentDirectory = L"");
// The same for a failure that follows a confirmation answered with OK.
std::wstring FailureTextAfterConfirming(const std::vector<std::wstring>& arguments);

// Files.
using test::ReadBytes;
using test::WriteBytes;
bool PathExists(const std::wstring& path);
std::vector<std::wstring> ListNames(const std::wstring& directory);
void MakeDirectories(const std::wstring& path);
void DeleteTree(const std::wstring& path);
std::string PayloadBytes(const wchar_t* name);

// A file opened with no sharing, as the running application holds its image.
class HeldFile {
 public:
  explicit HeldFile(const std::wstring& path, DWORD share = 0);
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The installed application started as a user starts it, its image mapped
// by the running process; ended when the object goes.
class RunningApplication {
 public:
  explicit RunningApplication(const std::wstring& executable);
  ~RunningApplication();
  RunningApplication(const RunningApplication&) = delete;
  RunningApplication& operator=(const RunningApplication&) = delete;
  bool running() const;

 private:
  PROCESS_INFORMATION process_{};
};

// Shell links.
using test::LinkFields;
using test::ReadLink;
void WriteLink(const std::wstring& path, const std::wstring& target);

// The started application: its window's label shows its working directory.
struct StartedApplication {
  std::wstring imagePath;
  std::wstring workingDirectory;
  DWORD parentId = 0;  // the process that started it
};
std::optional<StartedApplication> WaitForApplicationAndClose();
// Whether a process runs this executable, ending any that does. Asked once
// the setup program has ended, it needs no wait: a program that the setup
// program started is there by then.
bool ApplicationRuns(const std::wstring& executable);

}  // namespace orvanta::e2e
