#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "reliability/outcome.h"
#include "reliability/reliability.h"
#include "system_dlls.h"

// A setup program is often run from a Downloads folder that holds whatever a
// browser put there. These tests plant a reporting DLL beside it under the
// names of system DLLs and show that none of them is loaded.
namespace orvanta::reliability {
namespace {

// Loaded through LoadLibrary once the program runs: uxtheme for the dialogs'
// theming, and wtsapi32 by an elevated run (every run under Wine), to ask who
// is signed in to the session, freed again before the confirmation shows. So
// only the search order the program sets decides where from. Wine keeps its
// own copy of a system DLL unless told to look for a native file by the
// search order first: the test's entry tells it so for these names
// (ORVANTA_WINEDLLOVERRIDES), and for no name that the loader resolves before
// the program's first line runs. msimg32.dll, which comctl32 pulls in with the
// first dialog, is left out: this Wine resolves it from the program's folder
// whatever the program sets.
const wchar_t* const kLoadedAtRunTime[] = {L"uxtheme.dll", L"wtsapi32.dll"};
const wchar_t kSeenAtConfirmation[] = L"uxtheme.dll";

// Never planted: the loader maps these itself before any search; and shcore,
// which this Wine's shell32 pulls in as a static dependency before wWinMain
// runs (on Windows it is a known DLL, mapped from the system directory).
const std::set<std::wstring> kNotPlanted = {L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll",
                                            L"shcore.dll", L"orvanta-setup.exe"};

std::vector<std::wstring> Modules(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  std::vector<std::wstring> modules;
  if (process == nullptr) return modules;
  HMODULE handles[1024];
  DWORD needed = 0;
  if (EnumProcessModulesEx(process, handles, sizeof(handles), &needed, LIST_MODULES_ALL)) {
    const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 1024);
    for (DWORD i = 0; i < count; ++i) {
      wchar_t path[MAX_PATH] = {};
      if (GetModuleFileNameExW(process, handles[i], path, MAX_PATH)) modules.push_back(path);
    }
  }
  CloseHandle(process);
  return modules;
}

std::vector<std::wstring>& SeenModules() {
  static std::vector<std::wstring> seen;
  return seen;
}

void RecordModules(HWND confirmation) { SeenModules() = Modules(confirmation); }

std::wstring BaseName(const std::wstring& path) {
  return Lower(path.substr(path.find_last_of(L"\\/") + 1));
}

std::vector<std::wstring> LoadedReports(const std::wstring& directory) {
  std::vector<std::wstring> reports;
  for (const auto& name : e2e::ListNames(directory)) {
    if (name.ends_with(L".loaded")) reports.push_back(name);
  }
  return reports;
}

// A folder such as Downloads: the setup program, the probe and the planted DLLs.
class PlantedFolder {
 public:
  PlantedFolder() : directory_(profile_.root() + L"\\Downloads") {
    e2e::MakeDirectories(directory_);
    CopyFileW(e2e::TestInputs().setupProgram.c_str(), setup().c_str(), FALSE);
    CopyFileW(TestInputs().dllProbe.c_str(), (directory_ + L"\\probe.exe").c_str(), FALSE);
  }
  const e2e::Profile& profile() const { return profile_; }
  const std::wstring& directory() const { return directory_; }
  std::wstring setup() const { return directory_ + L"\\Orvanta-Setup.exe"; }
  const std::vector<std::wstring>& planted() const { return planted_; }

  // Plants the names of the DLLs that ship with Windows and of every DLL seen
  // loaded in a confirmation dialog (of a removal refused for want of an
  // install, so that nothing changes).
  void Plant() {
    std::set<std::wstring> names;
    for (const std::string_view name : test::kSystemDlls) names.emplace(name.begin(), name.end());
    const Outcome look = RunConfirmed(setup(), {L"--remove"}, RecordModules);
    for (const auto& module : SeenModules()) names.insert(BaseName(module));
    for (const auto& name : names) {
      if (kNotPlanted.count(name) > 0) continue;
      ASSERT_TRUE(
          CopyFileW(TestInputs().plantedDll.c_str(), (directory_ + L"\\" + name).c_str(), FALSE));
      planted_.push_back(name);
    }
    EXPECT_EQ(look.failure, L"Directory was not installed by Orvanta");
  }

  DWORD RunProbe(const std::vector<std::wstring>& names) const {
    std::wstring commandLine = L"\"" + directory_ + L"\\probe.exe\"";
    for (const auto& name : names) commandLine += L" \"" + name + L"\"";
    const PROCESS_INFORMATION process = e2e::StartProgram(L"", commandLine, directory_);
    if (process.hProcess == nullptr) return 0xDEAD;
    const DWORD code = e2e::AwaitExit(process, commandLine, e2e::kHangMs).value_or(0xDEAD);
    if (code == 0xDEAD) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
  }

 private:
  e2e::Profile profile_;
  std::wstring directory_;
  std::vector<std::wstring> planted_;
};

TEST(PlantedDllTest, SetupProgramLoadsNoDllFromItsOwnDirectory) {
  PlantedFolder folder;
  folder.Plant();
  ASSERT_FALSE(SeenModules().empty()) << "the modules of the setup process could not be listed";
  ASSERT_GE(folder.planted().size(), 5u);

  const Outcome install = RunConfirmed(folder.setup(), {}, RecordModules);
  EXPECT_EQ(install.exitCode, 0u) << Describe(install);
  EXPECT_TRUE(install.completion);
  const auto module =
      std::find_if(SeenModules().begin(), SeenModules().end(),
                   [&](const std::wstring& path) { return BaseName(path) == kSeenAtConfirmation; });
  ASSERT_NE(module, SeenModules().end())
      << Narrow(kSeenAtConfirmation)
      << " is not loaded by the setup program: the check proves nothing";
  // Named by a path in the folder when the search found it there, even where
  // Wine then maps its own copy.
  EXPECT_FALSE(Lower(*module).starts_with(Lower(folder.directory()))) << Narrow(*module);
  EXPECT_TRUE(e2e::ReadBytes(folder.profile().defaultTarget() + L"\\Orvanta.exe") ==
              e2e::PayloadBytes(L"Orvanta.exe"));
  EXPECT_TRUE(e2e::ReadLink(folder.profile().primaryShortcut()).has_value());

  const Outcome removal = RunConfirmed(folder.setup(), {L"--remove"});
  EXPECT_EQ(removal.exitCode, 0u) << Describe(removal);
  EXPECT_FALSE(e2e::PathExists(folder.profile().defaultTarget()));

  const auto reports = LoadedReports(folder.directory());
  std::printf("setup program: %zu DLLs planted, %zu loaded (%zu modules seen)\n",
              folder.planted().size(), reports.size(), SeenModules().size());
  for (const auto& report : reports) std::printf("  loaded: %s\n", Narrow(report).c_str());
  EXPECT_TRUE(reports.empty());
}

TEST(PlantedDllTest, ControlWithDefaultSearchOrderLoadsPlantedDll) {
  PlantedFolder folder;
  folder.Plant();
  const std::vector<std::wstring> names(std::begin(kLoadedAtRunTime), std::end(kLoadedAtRunTime));
  EXPECT_EQ(folder.RunProbe(names), 0u);
  const auto reports = LoadedReports(folder.directory());
  std::printf("control, default search order: loads %zu of %zu run-time names from the folder\n",
              reports.size(), names.size());
  EXPECT_EQ(reports.size(), names.size())
      << "the test could not tell a hijacked load from a safe one";
}

}  // namespace
}  // namespace orvanta::reliability
