#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "reliability/outcome.h"
#include "reliability/reliability.h"

// A setup program is often run from a Downloads folder that holds whatever a
// browser put there. These tests plant a reporting DLL beside it under the
// names of system DLLs and show that none of them is loaded.
namespace orvanta::reliability {
namespace {

// DLLs that the program, the shell-link code and the dialogs load on Windows
// or under Wine, beside those found loaded while the confirmation is open.
const wchar_t* const kKnownNames[] = {L"version.dll",  L"propsys.dll",
                                      L"uxtheme.dll",  L"cryptbase.dll",
                                      L"dwmapi.dll",   L"comctl32.dll",
                                      L"oleaut32.dll", L"windowscodecs.dll",
                                      L"actxprxy.dll", L"shlwapi.dll",
                                      L"imm32.dll",    L"sechost.dll",
                                      L"rpcrt4.dll",   L"combase.dll",
                                      L"advapi32.dll", L"gdi32.dll",
                                      L"win32u.dll",   L"msvcrt.dll",
                                      L"ucrtbase.dll", L"profapi.dll",
                                      L"userenv.dll",  L"ntmarta.dll",
                                      L"cryptsp.dll",  L"bcrypt.dll",
                                      L"msctf.dll",    L"textinputframework.dll",
                                      L"clbcatq.dll",  L"zlib1.dll",
                                      L"linkinfo.dll", L"ntshrui.dll",
                                      L"srvcli.dll",   L"cscapi.dll",
                                      L"edputil.dll",  L"wldp.dll",
                                      L"sspicli.dll",  L"kernel.appcore.dll",
                                      L"apphelp.dll",  L"user32.dll",
                                      L"ole32.dll",    L"shell32.dll"};

// Never planted: the loader maps these itself before any search; and shcore,
// which this Wine's shell32 pulls in as a static dependency before wWinMain
// runs (on Windows it is a known DLL, mapped from the system directory).
const std::set<std::wstring> kNotPlanted = {L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll",
                                            L"shcore.dll", L"orvanta-setup.exe"};

std::wstring Lower(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; });
  return text;
}

std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Whether the module at `base` in `process` is Wine's own build of a system
// DLL: Wine may name such a module by a path in the program's folder while
// mapping its own file, and the planted DLL never carries this signature.
bool IsWineBuiltin(HANDLE process, HMODULE base) {
  char signature[32] = {};
  SIZE_T read = 0;
  const auto* at = reinterpret_cast<const char*>(base) + sizeof(IMAGE_DOS_HEADER);
  if (!ReadProcessMemory(process, at, signature, sizeof(signature) - 1, &read)) return false;
  return std::string(signature).starts_with("Wine builtin DLL");
}

struct LoadedModule {
  std::wstring path;
  bool wineBuiltin = false;
};

std::vector<LoadedModule> Modules(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
  std::vector<LoadedModule> modules;
  if (process == nullptr) return modules;
  HMODULE handles[1024];
  DWORD needed = 0;
  if (EnumProcessModulesEx(process, handles, sizeof(handles), &needed, LIST_MODULES_ALL)) {
    const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), 1024);
    for (DWORD i = 0; i < count; ++i) {
      wchar_t path[MAX_PATH] = {};
      if (GetModuleFileNameExW(process, handles[i], path, MAX_PATH)) {
        modules.push_back({path, IsWineBuiltin(process, handles[i])});
      }
    }
  }
  CloseHandle(process);
  return modules;
}

std::vector<LoadedModule>& SeenModules() {
  static std::vector<LoadedModule> seen;
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

  // Plants the known names and every DLL seen loaded in a confirmation dialog.
  void Plant() {
    std::set<std::wstring> names(std::begin(kKnownNames), std::end(kKnownNames));
    const Outcome look = RunConfirmedCancel();
    for (const auto& module : SeenModules()) names.insert(BaseName(module.path));
    for (const auto& name : names) {
      if (kNotPlanted.count(name) > 0) continue;
      ASSERT_TRUE(
          CopyFileW(TestInputs().plantedDll.c_str(), (directory_ + L"\\" + name).c_str(), FALSE));
      planted_.push_back(name);
    }
    EXPECT_EQ(look.exitCode, 0u);
  }

  DWORD RunProbe(const std::vector<std::wstring>& names) const {
    std::wstring commandLine = L"\"" + directory_ + L"\\probe.exe\"";
    for (const auto& name : names) commandLine += L" \"" + name + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory_.c_str(), &startup, &process)) {
      return 0xDEAD;
    }
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0xDEAD;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
  }

 private:
  Outcome RunConfirmedCancel() {
    const e2e::Inputs saved = e2e::TestInputs();
    e2e::Inputs inputs = saved;
    inputs.setupProgram = setup();
    e2e::SetTestInputs(inputs);
    Outcome outcome;
    {
      e2e::SetupRun run({});
      if (const auto dialog = run.NextDialog()) {
        RecordModules(dialog->window);
        dialog->Press(IDCANCEL);
      }
      outcome.exitCode = run.ExitCode();
    }
    e2e::SetTestInputs(saved);
    return outcome;
  }

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
  std::size_t namedInFolder = 0;
  for (const auto& module : SeenModules()) {
    if (!Lower(module.path).starts_with(Lower(folder.directory() + L"\\"))) continue;
    if (BaseName(module.path) == L"orvanta-setup.exe") continue;
    ++namedInFolder;
    EXPECT_TRUE(module.wineBuiltin) << Narrow(module.path) << " was mapped from the folder";
  }
  std::printf("setup program: %zu modules named by a path in its folder, all Wine's own files\n",
              namedInFolder);
  EXPECT_TRUE(e2e::ReadBytes(folder.profile().defaultTarget() + L"\\Orvanta.exe") ==
              e2e::PayloadBytes(L"Orvanta.exe"));
  EXPECT_TRUE(e2e::ReadLink(folder.profile().primaryShortcut()).has_value());

  const Outcome removal = RunConfirmed(folder.setup(), {L"--remove"});
  EXPECT_EQ(removal.exitCode, 0u) << Describe(removal);
  EXPECT_FALSE(e2e::PathExists(folder.profile().defaultTarget()));

  const auto reports = LoadedReports(folder.directory());
  std::printf("setup program: %zu modules seen while the confirmation was open\n",
              SeenModules().size());
  std::printf("setup program: %zu DLLs planted, %zu loaded\n", folder.planted().size(),
              reports.size());
  for (const auto& report : reports) std::printf("  loaded: %s\n", Narrow(report).c_str());
  EXPECT_TRUE(reports.empty());
}

TEST(PlantedDllTest, ControlWithDefaultSearchOrderLoadsPlantedDll) {
  PlantedFolder folder;
  folder.Plant();
  EXPECT_EQ(folder.RunProbe(folder.planted()), 0u);
  const auto byName = LoadedReports(folder.directory());
  std::printf("control, loading by name: %zu DLLs planted, %zu loaded\n", folder.planted().size(),
              byName.size());
  std::string missed;
  for (const auto& name : folder.planted()) {
    if (std::find(byName.begin(), byName.end(), name + L".loaded") == byName.end()) {
      missed += " " + Narrow(name);
    }
  }
  std::printf("  loaded by name:");
  for (const auto& report : byName) std::printf(" %s", Narrow(report).c_str());
  std::printf("\n  kept from the system directory by this Wine even so:%s\n", missed.c_str());
  EXPECT_FALSE(byName.empty()) << "the test could not tell a hijacked load from a safe one";
}

TEST(PlantedDllTest, PlantedDllReportsLoadingFromItsFullPath) {
  PlantedFolder folder;
  const std::wstring path = folder.directory() + L"\\reporter.dll";
  ASSERT_TRUE(CopyFileW(TestInputs().plantedDll.c_str(), path.c_str(), FALSE));
  EXPECT_EQ(folder.RunProbe({path}), 0u);
  EXPECT_TRUE(e2e::PathExists(path + L".loaded"));
}

// The names in the import directory of a PE image.
std::vector<std::string> ImportedDlls(const std::string& image) {
  std::vector<std::string> names;
  const auto at = [&](std::size_t offset, std::size_t size) {
    return offset + size <= image.size() ? image.data() + offset : nullptr;
  };
  IMAGE_DOS_HEADER dos;
  if (!at(0, sizeof(dos))) return names;
  std::memcpy(&dos, image.data(), sizeof(dos));
  IMAGE_NT_HEADERS64 nt;
  const char* ntBytes = at(static_cast<std::size_t>(dos.e_lfanew), sizeof(nt));
  if (!ntBytes) return names;
  std::memcpy(&nt, ntBytes, sizeof(nt));
  const std::size_t sectionsAt = static_cast<std::size_t>(dos.e_lfanew) +
                                 offsetof(IMAGE_NT_HEADERS64, OptionalHeader) +
                                 nt.FileHeader.SizeOfOptionalHeader;
  const auto fileOffset = [&](DWORD rva) -> std::size_t {
    for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
      IMAGE_SECTION_HEADER section;
      const char* bytes = at(sectionsAt + i * sizeof(section), sizeof(section));
      if (!bytes) return 0;
      std::memcpy(&section, bytes, sizeof(section));
      if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData) {
        return rva - section.VirtualAddress + section.PointerToRawData;
      }
    }
    return 0;
  };
  const DWORD importRva =
      nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
  for (std::size_t offset = fileOffset(importRva); offset != 0;
       offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR descriptor;
    const char* bytes = at(offset, sizeof(descriptor));
    if (!bytes) break;
    std::memcpy(&descriptor, bytes, sizeof(descriptor));
    if (descriptor.Name == 0) break;
    const char* name = at(fileOffset(descriptor.Name), 1);
    if (name) names.emplace_back(name);
  }
  return names;
}

TEST(PlantedDllTest, ImportTableNamesOnlyDllsThatShipWithWindows) {
  const std::set<std::string> windowsDlls = {"kernel32.dll", "user32.dll", "shell32.dll",
                                             "ole32.dll",    "msvcrt.dll", "advapi32.dll",
                                             "oleaut32.dll", "gdi32.dll",  "shlwapi.dll"};
  const auto image = e2e::ReadBytes(e2e::TestInputs().setupProgram);
  ASSERT_TRUE(image.has_value());
  const auto names = ImportedDlls(*image);
  ASSERT_FALSE(names.empty());
  std::printf("imported:");
  for (const auto& name : names) {
    std::printf(" %s", name.c_str());
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; });
    EXPECT_EQ(windowsDlls.count(lower), 1u) << name << " does not ship with Windows";
  }
  std::printf("\n");
}

}  // namespace
}  // namespace orvanta::reliability
