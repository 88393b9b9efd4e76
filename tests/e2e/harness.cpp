#include "e2e/harness.h"

#include <objbase.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>

using Microsoft::WRL::ComPtr;

namespace orvanta::e2e {
namespace {

Inputs& MutableInputs() {
  static Inputs inputs;
  return inputs;
}

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
constexpr wchar_t kLocalAppDataValue[] = L"Local AppData";
constexpr wchar_t kProgramsValue[] = L"Programs";

// A folder's path in the user's key, as written: unexpanded.
std::optional<std::wstring> ReadFolder(const wchar_t* key, const wchar_t* value) {
  wchar_t buffer[MAX_PATH * 4] = {};
  DWORD size = sizeof(buffer);
  if (RegGetValueW(HKEY_CURRENT_USER, key, value,
                   RRF_RT_REG_EXPAND_SZ | RRF_RT_REG_SZ | RRF_NOEXPAND, nullptr, buffer,
                   &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buffer);
}

LSTATUS WriteFolder(const wchar_t* key, const wchar_t* value, const std::wstring& path) {
  const DWORD bytes = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
  return RegSetKeyValueW(HKEY_CURRENT_USER, key, value, REG_EXPAND_SZ, path.c_str(), bytes);
}

void WriteShellFolder(const wchar_t* value, const std::wstring& path) {
  ASSERT_EQ(WriteFolder(kShellFolders, value, path), ERROR_SUCCESS);
}

void RestoreShellFolder(const wchar_t* value, const std::optional<std::wstring>& path) {
  if (path) {
    WriteShellFolder(value, *path);
  } else {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, kShellFolders, value);
  }
}

// The user's own values while profiles are alive; a value missing here was
// missing there.
constexpr wchar_t kSavedShellFolders[] = L"Software\\Orvanta Setup Tests";
int liveProfiles = 0;

// Puts back what a run that ended with profiles alive (killed, timed out) left.
void RestoreLeftRedirections() {
  HKEY saved = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSavedShellFolders, 0, KEY_READ, &saved) != ERROR_SUCCESS) {
    return;
  }
  RegCloseKey(saved);
  for (const wchar_t* value : {kLocalAppDataValue, kProgramsValue}) {
    RestoreShellFolder(value, ReadFolder(kSavedShellFolders, value));
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, kSavedShellFolders);
  std::printf("restored the shell folders that an earlier run left redirected\n");
}

void SaveShellFolders(
    const std::vector<std::pair<std::wstring, std::optional<std::wstring>>>& values) {
  HKEY saved = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSavedShellFolders, 0, nullptr, 0, KEY_WRITE,
                            nullptr, &saved, &disposition),
            ERROR_SUCCESS);
  RegCloseKey(saved);
  // A copy that is there already holds the user's values; these may not be.
  if (disposition == REG_OPENED_EXISTING_KEY) return;
  for (const auto& [value, path] : values) {
    if (path) WriteFolder(kSavedShellFolders, value.c_str(), *path);
  }
}

std::wstring UniqueTempDirectory() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  std::wstring path = std::wstring(temp) + L"orvanta-e2e-" +
                      std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++);
  DeleteTree(path);
  MakeDirectories(path);
  return path;
}

struct DialogSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindDialogOfProcess(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<DialogSearch*>(data);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if (owner != search->processId || std::wstring(className) != L"#32770" ||
      !IsWindowVisible(window)) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

// A visible message box of the process, or null.
HWND DialogOfProcess(DWORD processId) {
  DialogSearch search{processId, nullptr};
  EnumWindows(FindDialogOfProcess, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

constexpr int kMessageTextId = 0xFFFF;

Dialog DescribeDialog(HWND window) {
  Dialog dialog;
  dialog.window = window;
  dialog.title = WindowText(window);
  if (HWND label = GetDlgItem(window, kMessageTextId)) dialog.text = WindowText(label);
  return dialog;
}

// A box can be visible before its text is set: waits, on its own clock and
// not by a guess at the machine's speed, until the text is there.
HWND WhenLaidOut(HWND window) {
  const ULONGLONG deadline = GetTickCount64() + kHangMs;
  while (IsWindow(window) && GetTickCount64() < deadline) {
    HWND label = GetDlgItem(window, kMessageTextId);
    if (label != nullptr && GetWindowTextLengthW(label) > 0) break;
    Sleep(10);
  }
  return window;
}

// Posts the message that answers a dialog, then waits until the dialog has
// gone: the next dialog must not be mistaken for this one while it closes.
void AnswerAndAwaitClose(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  PostMessageW(window, message, wParam, lParam);
  const ULONGLONG deadline = GetTickCount64() + kHangMs;
  while (IsWindow(window) && GetTickCount64() < deadline) Sleep(20);
  EXPECT_FALSE(IsWindow(window)) << "the dialog did not close";
}

// The run's next dialog, which must be the `kind` dialog with this title.
std::optional<Dialog> NextDialogTitled(SetupRun& run, const char* kind, const wchar_t* title) {
  auto dialog = run.NextDialog();
  if (!dialog) {
    ADD_FAILURE() << "no " << kind << " dialog";
  } else {
    EXPECT_EQ(dialog->title, title) << kind << " dialog";
  }
  return dialog;
}

std::wstring AnswerFailure(SetupRun& run) {
  const auto failure = NextDialogTitled(run, "failure", L"Orvanta 安装失败");
  if (!failure) return L"";
  EXPECT_TRUE(failure->Has(IDOK));
  EXPECT_FALSE(failure->Has(IDCANCEL));
  failure->Press(IDOK);
  EXPECT_EQ(run.ExitCode(), 1u);
  return failure->text;
}

unsigned startRetries = 0;

// Wine reports a new process that ended before it reported to Wine's server as
// ERROR_INTERNAL_ERROR; none of the program has run then. That happens when the
// kernel has laid the loader's heap over the page that Wine must map at
// 0x7ffe0000 (scripts/wine-env.sh). No other error is tried again: it may be ours.
bool WineLostTheStart(DWORD error) { return error == ERROR_INTERNAL_ERROR && UnderWine(); }

}  // namespace

std::wstring QuoteArgument(const std::wstring& argument) {
  // Enough for the arguments the tests pass: no embedded quotes.
  if (!argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos) return argument;
  std::wstring quoted = L"\"" + argument;
  if (!quoted.empty() && quoted.back() == L'\\') quoted += L'\\';
  return quoted + L"\"";
}

PROCESS_INFORMATION StartProgram(const std::wstring& program, const std::wstring& commandLine,
                                 const std::wstring& directory) {
  // Tried again at most twice, and each retry is printed with its error and
  // counted.
  constexpr unsigned kRetries = 2;
  for (unsigned attempt = 0;; ++attempt) {
    std::wstring writable = commandLine;  // CreateProcessW may write to it
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(program.empty() ? nullptr : program.c_str(), writable.data(), nullptr,
                       nullptr, FALSE, 0, nullptr, directory.empty() ? nullptr : directory.c_str(),
                       &startup, &process)) {
      return process;
    }
    const DWORD error = GetLastError();
    if (attempt == kRetries || !WineLostTheStart(error)) {
      ADD_FAILURE() << "cannot start " << testing::PrintToString(commandLine) << ": error " << error
                    << " (after " << attempt << " retries)";
      return {};
    }
    ++startRetries;
    std::printf("start of %s failed with error %lu; retry %u of %u\n",
                testing::PrintToString(commandLine).c_str(), error, attempt + 1, kRetries);
    Sleep(100);
  }
}

int RunAllTests() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int result = RUN_ALL_TESTS();
  CoUninitialize();
  std::printf("program starts retried: %u\n", startRetries);
  return result;
}

std::optional<DWORD> AwaitExit(const PROCESS_INFORMATION& process, const std::wstring& commandLine,
                               DWORD timeoutMs) {
  if (process.hProcess == nullptr) return std::nullopt;  // the start has failed the test
  const DWORD waited = WaitForSingleObject(process.hProcess, timeoutMs);
  if (waited != WAIT_OBJECT_0) {
    const DWORD error = GetLastError();
    ADD_FAILURE() << testing::PrintToString(commandLine)
                  << (waited == WAIT_TIMEOUT
                          ? " did not end within " + std::to_string(timeoutMs) + " ms"
                          : " could not be waited for: error " + std::to_string(error));
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.hProcess, &code)) {
    ADD_FAILURE() << "no exit code of " << testing::PrintToString(commandLine) << ": error "
                  << GetLastError();
    return std::nullopt;
  }
  return code;
}

const Inputs& TestInputs() { return MutableInputs(); }

void SetTestInputs(Inputs inputs) {
  inputs.setupProgram = WindowsPath(inputs.setupProgram);
  inputs.payloadDir = WindowsPath(inputs.payloadDir);
  MutableInputs() = std::move(inputs);
}

Profile::Profile() : Profile(L"Local") {}

Profile::Profile(const std::wstring& localFolderName) : root_(UniqueTempDirectory()) {
  localAppData_ = root_ + L"\\" + localFolderName;
  programs_ = root_ + L"\\Start Menu\\Programs";
  MakeDirectories(localAppData_);
  MakeDirectories(programs_);
  if (liveProfiles == 0) RestoreLeftRedirections();
  for (const wchar_t* value : {kLocalAppDataValue, kProgramsValue}) {
    saved_.emplace_back(value, ReadFolder(kShellFolders, value));
  }
  if (liveProfiles++ == 0) SaveShellFolders(saved_);
  WriteShellFolder(kLocalAppDataValue, localAppData_);
  WriteShellFolder(kProgramsValue, programs_);
}

Profile::~Profile() {
  for (const auto& [value, path] : saved_) RestoreShellFolder(value.c_str(), path);
  if (--liveProfiles == 0) RegDeleteKeyW(HKEY_CURRENT_USER, kSavedShellFolders);
  DeleteTree(root_);
}

std::wstring Profile::defaultTarget() const { return localAppData_ + L"\\Programs\\Orvanta"; }
std::wstring Profile::primaryShortcut() const { return programs_ + L"\\Orvanta 演示计时器.lnk"; }
std::wstring Profile::legacyShortcut() const { return programs_ + L"\\Orvanta Native.lnk"; }
void Profile::BreakLocalAppData() { WriteShellFolder(kLocalAppDataValue, root_ + L"\\missing"); }
void Profile::BreakPrograms() { WriteShellFolder(kProgramsValue, root_ + L"\\missing"); }

bool Dialog::Has(int buttonId) const { return GetDlgItem(window, buttonId) != nullptr; }

void Dialog::Press(int buttonId) const {
  AnswerAndAwaitClose(window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                      reinterpret_cast<LPARAM>(GetDlgItem(window, buttonId)));
}

void Dialog::Close() const { AnswerAndAwaitClose(window, WM_CLOSE, 0, 0); }

SetupRun::SetupRun(const std::vector<std::wstring>& arguments, const std::wstring& currentDirectory)
    : commandLine_(QuoteArgument(TestInputs().setupProgram)) {
  for (const auto& argument : arguments) commandLine_ += L" " + QuoteArgument(argument);
  process_ = StartProgram(TestInputs().setupProgram, commandLine_, currentDirectory);
}

SetupRun::~SetupRun() {
  if (process_.hProcess == nullptr) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

std::optional<Dialog> SetupRun::NextDialog(DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < deadline) {
    if (HWND found = DialogOfProcess(process_.dwProcessId)) {
      sawDialog_ = true;
      return DescribeDialog(WhenLaidOut(found));
    }
    if (WaitForSingleObject(process_.hProcess, 50) != WAIT_TIMEOUT) return std::nullopt;
  }
  ADD_FAILURE() << testing::PrintToString(commandLine_)
                << " showed no dialog and did not end within " << timeoutMs << " ms";
  return std::nullopt;
}

DWORD SetupRun::ExitCode(DWORD timeoutMs) {
  if (process_.hProcess == nullptr) return 0xDEAD;  // the start has failed the test
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (WaitForSingleObject(process_.hProcess, 50) == WAIT_TIMEOUT) {
    if (HWND found = DialogOfProcess(process_.dwProcessId)) {
      sawDialog_ = true;
      ADD_FAILURE() << "unexpected dialog: " << testing::PrintToString(WindowText(found));
      return 0xDEAD;
    }
    if (GetTickCount64() > deadline) {
      ADD_FAILURE() << testing::PrintToString(commandLine_) << " did not end within " << timeoutMs
                    << " ms";
      return 0xDEAD;
    }
  }
  return AwaitExit(process_, commandLine_, 0).value_or(0xDEAD);
}

DWORD RunQuiet(std::vector<std::wstring> arguments) {
  arguments.insert(arguments.begin(), L"--quiet");
  SetupRun run(arguments);
  return run.ExitCode();
}

std::wstring ConfirmationDialogText(const std::vector<std::wstring>& arguments,
                                    const std::wstring& currentDirectory) {
  SetupRun run(arguments, currentDirectory);
  const auto confirmation = NextDialogTitled(run, "confirmation", L"Orvanta 安装");
  if (!confirmation) return L"";
  EXPECT_TRUE(confirmation->Has(IDOK) && confirmation->Has(IDCANCEL));
  confirmation->Press(IDCANCEL);
  EXPECT_EQ(run.ExitCode(), 0u);
  return confirmation->text;
}

std::wstring FailureDialogText(const std::vector<std::wstring>& arguments,
                               const std::wstring& currentDirectory) {
  SetupRun run(arguments, currentDirectory);
  return AnswerFailure(run);
}

std::wstring FailureTextAfterConfirming(const std::vector<std::wstring>& arguments) {
  SetupRun run(arguments);
  const auto confirmation = NextDialogTitled(run, "confirmation", L"Orvanta 安装");
  if (!confirmation) return L"";
  confirmation->Press(IDOK);
  return AnswerFailure(run);
}

bool PathExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListNames(const std::wstring& directory) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

void MakeDirectories(const std::wstring& path) {
  SHCreateDirectoryExW(nullptr, path.c_str(), nullptr);
}

namespace {

// The \\?\ form of an absolute path: a folder that a test made with a name
// such as aux or con.d is reached only through it; the plain form answers
// for the device, and such a folder would outlive the test.
std::wstring ExtendedForm(std::wstring path) {
  if (path.rfind(L"\\\\?\\", 0) == 0) return path;
  std::replace(path.begin(), path.end(), L'/', L'\\');  // the build's paths come with slashes
  if (path.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + path.substr(2);
  return L"\\\\?\\" + path;
}

void DeleteExtendedTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    DeleteFileW(path.c_str());
    return;
  }
  for (const auto& name : ListNames(path)) DeleteExtendedTree(path + L"\\" + name);
  RemoveDirectoryW(path.c_str());
}

}  // namespace

void DeleteTree(const std::wstring& path) { DeleteExtendedTree(ExtendedForm(path)); }

std::string PayloadBytes(const wchar_t* name) {
  return ReadBytes(TestInputs().payloadDir + L"\\" + name).value_or("<payload missing>");
}

HeldFile::HeldFile(const std::wstring& path, DWORD share)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {
  EXPECT_TRUE(held()) << "cannot hold the file open";
}

HeldFile::~HeldFile() {
  if (held()) CloseHandle(handle_);
}

RunningApplication::RunningApplication(const std::wstring& executable) {
  const std::wstring directory = executable.substr(0, executable.find_last_of(L'\\'));
  process_ = StartProgram(executable, QuoteArgument(executable), directory);
  // Its window is up once it waits for input: the process is fully loaded.
  // The bound is for a hang: a loaded machine can take many seconds to start it.
  if (process_.hProcess != nullptr && WaitForInputIdle(process_.hProcess, 120000) != 0) {
    ADD_FAILURE() << testing::PrintToString(executable) << " did not wait for input within 120 s";
  }
}

RunningApplication::~RunningApplication() {
  if (process_.hProcess == nullptr) return;
  TerminateProcess(process_.hProcess, 0);
  WaitForSingleObject(process_.hProcess, 10000);
  CloseHandle(process_.hThread);
  CloseHandle(process_.hProcess);
}

bool RunningApplication::running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

void WriteLink(const std::wstring& path, const std::wstring& target) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  ASSERT_TRUE(SUCCEEDED(
      CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))));
  link->SetPath(target.c_str());
  ASSERT_TRUE(SUCCEEDED(link.As(&file)));
  ASSERT_TRUE(SUCCEEDED(file->Save(path.c_str(), TRUE)));
}

namespace {

// Every process, as one snapshot lists them.
std::vector<PROCESSENTRY32W> Processes() {
  std::vector<PROCESSENTRY32W> processes;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  EXPECT_NE(snapshot, INVALID_HANDLE_VALUE) << "cannot list the processes";
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    processes.push_back(entry);
  }
  if (snapshot != INVALID_HANDLE_VALUE) CloseHandle(snapshot);
  return processes;
}

DWORD ParentProcessId(DWORD processId) {
  for (const PROCESSENTRY32W& entry : Processes()) {
    if (entry.th32ProcessID == processId) return entry.th32ParentProcessID;
  }
  return 0;
}

// The executable of a process; empty when there is none to read.
std::wstring ImagePath(HANDLE process) {
  wchar_t image[32768] = {};
  DWORD size = 32768;
  return process != nullptr && QueryFullProcessImageNameW(process, 0, image, &size) ? image : L"";
}

}  // namespace

std::optional<StartedApplication> WaitForApplicationAndClose() {
  // The window is there before its label: waits, on its own clock, for both.
  constexpr int kDirectoryLabelId = 100;
  const ULONGLONG deadline = GetTickCount64() + kHangMs;
  HWND window = nullptr;
  std::wstring directory;
  while (directory.empty() && GetTickCount64() < deadline) {
    window = FindWindowW(L"OrvantaStandInWindow", nullptr);
    if (window != nullptr) directory = WindowText(GetDlgItem(window, kDirectoryLabelId));
    if (directory.empty()) Sleep(100);
  }
  if (window == nullptr) return std::nullopt;
  StartedApplication started;
  started.workingDirectory = directory;
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  started.parentId = ParentProcessId(processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE,
                               FALSE, processId);
  started.imagePath = ImagePath(process);
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (process != nullptr) {
    if (WaitForSingleObject(process, 5000) != WAIT_OBJECT_0) TerminateProcess(process, 0);
    CloseHandle(process);
  }
  return started;
}

bool ApplicationRuns(const std::wstring& executable) {
  bool runs = false;
  for (const PROCESSENTRY32W& entry : Processes()) {
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE,
                                       entry.th32ProcessID);
    if (CompareStringOrdinal(ImagePath(process).c_str(), -1, executable.c_str(), -1, TRUE) ==
        CSTR_EQUAL) {
      runs = true;
      TerminateProcess(process, 0);
    }
    if (process != nullptr) CloseHandle(process);
  }
  return runs;
}

}  // namespace orvanta::e2e
