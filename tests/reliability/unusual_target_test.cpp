#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "e2e/harness.h"
#include "e2e/scenario.h"
#include "reliability/outcome.h"
#include "reliability/reliability.h"

// Installs and removals in places that ordinary tests do not reach: folders
// with Chinese names, paths past 260 characters, another drive letter, a
// device-prefixed path and a read-only parent. Each ends with what the program
// says, and every file that was there before is still there.
namespace orvanta::reliability {
namespace {

constexpr wchar_t kShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
using e2e::kMarkerBytes;
constexpr char kUserBytes[] = "kept by the user\r\n";

// Makes every missing directory of a path of any length, as the directory
// helpers of the shell stop at 260 characters.
void MakeLongDirectories(const std::wstring& path) {
  for (std::size_t at = path.find(L'\\', 3); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    CreateDirectoryW(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryW(path.c_str(), nullptr);
}

// `base` deepened by directories to exactly `length` characters.
std::wstring PathOfLength(std::wstring base, std::size_t length) {
  while (base.size() < length) {
    const std::size_t room = length - base.size() - 1;  // after the separator
    base += L"\\" + std::wstring(room <= 40 ? room : room - 40 < 2 ? 30 : 40, L'd');
  }
  return base;
}

void Report(const char* what, const Outcome& install, const Outcome& removal) {
  std::printf("%s: install %s; removal %s\n", what, Describe(install).c_str(),
              Describe(removal).c_str());
}

// The install and removal in `target` (as the files are reached at `onDisk`),
// with a file of the user's beside the target that must survive both.
void InstallAndRemove(const char* what, const e2e::Profile& profile, const std::wstring& target,
                      const std::wstring& onDisk) {
  const std::wstring parent = onDisk.substr(0, onDisk.find_last_of(L'\\'));
  MakeLongDirectories(parent);
  e2e::WriteBytes(parent + L"\\notes.txt", kUserBytes);

  const Outcome install = RunConfirmed(e2e::TestInputs().setupProgram, {L"--target=" + target});
  EXPECT_EQ(install.confirmation, L"安装 Orvanta 到：\n" + target + e2e::kClosingNote);
  EXPECT_EQ(install.exitCode, 0u) << Describe(install);
  EXPECT_TRUE(install.completion);
  EXPECT_TRUE(e2e::ReadBytes(onDisk + L"\\Orvanta.exe") == e2e::PayloadBytes(L"Orvanta.exe"));
  EXPECT_TRUE(e2e::ReadBytes(onDisk + L"\\README.md") == e2e::PayloadBytes(L"README.md"));
  EXPECT_EQ(e2e::ReadBytes(onDisk + L"\\Orvanta-Native.install"), std::string(kMarkerBytes));
  const auto link = e2e::ReadLink(profile.primaryShortcut());
  ASSERT_TRUE(link.has_value());
  // The shell parses no \\?\ path, so the link holds the plain one.
  constexpr std::wstring_view kExtended = L"\\\\?\\";
  const std::wstring plain = target.starts_with(kExtended) ? target.substr(4) : target;
  const std::wstring executable = plain + L"\\Orvanta.exe";
  if (link->target != executable && e2e::UnderWine() && executable.size() >= MAX_PATH - 1) {
    GTEST_SKIP() << what << ": Wine's shell link stored \"" << Narrow(link->target)
                 << "\" for a path of " << executable.size() << " characters";
  }
  EXPECT_EQ(link->target, executable);

  const Outcome removal =
      RunConfirmed(e2e::TestInputs().setupProgram, {L"--remove", L"--target=" + target});
  EXPECT_EQ(removal.exitCode, 0u) << Describe(removal);
  EXPECT_FALSE(e2e::PathExists(onDisk));
  EXPECT_FALSE(e2e::PathExists(profile.primaryShortcut()));
  EXPECT_EQ(e2e::ReadBytes(parent + L"\\notes.txt"), std::string(kUserBytes));
  Report(what, install, removal);
}

// Past MAX_PATH no link to the executable could be recognised as the
// program's own, so the install refuses to save one once the files and the
// marker are in place, and completes without it when asked to; just short of
// MAX_PATH the link stores the whole path.
TEST(UnusualTargetTest, TargetsAroundMaxPathInstallAndRemove) {
  e2e::Profile profile;
  const std::wstring past = PathOfLength(profile.root() + L"\\past", 301);
  const std::wstring parent = past.substr(0, past.find_last_of(L'\\'));
  MakeLongDirectories(parent);
  e2e::WriteBytes(parent + L"\\notes.txt", kUserBytes);
  const Outcome refused = RunConfirmed(e2e::TestInputs().setupProgram, {L"--target=" + past});
  EXPECT_EQ(refused.exitCode, 1u) << Describe(refused);
  EXPECT_EQ(refused.failure, L"Cannot save shortcut");
  EXPECT_TRUE(e2e::ReadBytes(past + L"\\Orvanta.exe") == e2e::PayloadBytes(L"Orvanta.exe"));
  EXPECT_EQ(e2e::ReadBytes(past + L"\\Orvanta-Native.install"), std::string(kMarkerBytes));
  EXPECT_FALSE(e2e::PathExists(profile.primaryShortcut()));
  const Outcome install =
      RunConfirmed(e2e::TestInputs().setupProgram, {L"--no-shortcut", L"--target=" + past});
  EXPECT_EQ(install.exitCode, 0u) << Describe(install);
  const Outcome removal =
      RunConfirmed(e2e::TestInputs().setupProgram, {L"--remove", L"--target=" + past});
  EXPECT_EQ(removal.exitCode, 0u) << Describe(removal);
  EXPECT_FALSE(e2e::PathExists(past));
  EXPECT_FALSE(e2e::PathExists(profile.primaryShortcut()));
  EXPECT_EQ(e2e::ReadBytes(parent + L"\\notes.txt"), std::string(kUserBytes));
  Report("executable path past MAX_PATH", refused, removal);

  const std::wstring under = PathOfLength(profile.root() + L"\\under", MAX_PATH - 1 - 12);
  InstallAndRemove("executable path of 259 characters", profile, under, under);
}

TEST(UnusualTargetTest, TargetOnAnotherDriveLetterInstallsAndRemoves) {
  e2e::Profile profile;
  const std::wstring name = L"Orvanta-" + std::to_wstring(GetCurrentProcessId());
  ASSERT_NE(GetDriveTypeW(L"E:\\"), static_cast<UINT>(DRIVE_NO_ROOT_DIR))
      << "drive E: is not mapped in this prefix";
  const std::wstring onDisk = TestInputs().driveDir + L"\\apps\\" + name;
  InstallAndRemove("target on drive E:", profile, L"E:\\apps\\" + name, onDisk);
  e2e::DeleteTree(TestInputs().driveDir + L"\\apps");
}

TEST(UnusualTargetTest, DevicePrefixedTargetInstallsAndRemoves) {
  e2e::Profile profile;
  const std::wstring target = profile.root() + L"\\device\\Orvanta";
  InstallAndRemove("target given as \\\\?\\ path", profile, L"\\\\?\\" + target, target);
  // The link holds the plain path, so only the plain path's length counts.
  const std::wstring fits = PathOfLength(profile.root() + L"\\fits", 257 - 12);
  InstallAndRemove("\\\\?\\ target, plain executable path of 257 characters", profile,
                   L"\\\\?\\" + fits, fits);
}

// Scripts often name a folder by its 8.3 name, as %TEMP% gives it; the shell
// gives a link's target back in long names. Either spelling names one install.
TEST(UnusualTargetTest, ShortAndLongSpellingsNameOneInstall) {
  e2e::Profile profile;
  const std::wstring folder = profile.root() + L"\\Long folder name";
  e2e::MakeDirectories(folder);
  std::wstring spelled(MAX_PATH, L'\0');
  spelled.resize(GetShortPathNameW(folder.c_str(), spelled.data(), MAX_PATH));
  ASSERT_FALSE(spelled.empty()) << "no short form of " << Narrow(folder);
  if (spelled == folder) GTEST_SKIP() << "this volume keeps no 8.3 names";
  const std::wstring shortTarget = spelled + L"\\Orvanta";
  const std::wstring longTarget = folder + L"\\Orvanta";
  const auto run = [](const std::wstring& target, std::vector<std::wstring> arguments) {
    arguments.push_back(L"--target=" + target);
    return e2e::RunQuiet(arguments);
  };
  for (const std::wstring& again : {shortTarget, longTarget}) {
    SCOPED_TRACE(Narrow(again));
    const Outcome install =
        RunConfirmed(e2e::TestInputs().setupProgram, {L"--target=" + shortTarget});
    EXPECT_EQ(install.confirmation, L"安装 Orvanta 到：\n" + longTarget + e2e::kClosingNote);
    ASSERT_EQ(install.exitCode, 0u) << Describe(install);
    EXPECT_EQ(run(again, {}), 0u) << "the install again";
    EXPECT_EQ(run(longTarget, {L"--remove"}), 0u);
    EXPECT_FALSE(e2e::PathExists(longTarget));
    EXPECT_FALSE(e2e::PathExists(profile.primaryShortcut()));
  }
}

// A user can own folders named like devices: made through \\?\, or on
// Windows 11 as con.d. Being there already, they take an install below them.
TEST(UnusualTargetTest, ExistingFoldersWithDeviceNamesTakeAnInstall) {
  e2e::Profile profile;
  for (const wchar_t* name : {L"aux", L"con.d"}) {
    const std::wstring folder = profile.root() + L"\\" + name;
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr)) << Narrow(folder);
    InstallAndRemove(Narrow(folder).c_str(), profile, folder + L"\\Orvanta", folder + L"\\Orvanta");
  }
  // Spelled out long, a plain ...\con.d would name the device.
  std::wstring spelled(MAX_PATH, L'\0');
  spelled.resize(GetShortPathNameW(profile.root().c_str(), spelled.data(), MAX_PATH));
  const std::wstring shortFolder = spelled + L"\\con.d\\Orvanta";
  InstallAndRemove("con.d below an 8.3 name", profile, shortFolder,
                   profile.root() + L"\\con.d\\Orvanta");
}

class ReadOnly {
 public:
  explicit ReadOnly(std::wstring path) : path_(std::move(path)) {
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY);
  }
  ~ReadOnly() { SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL); }
  ReadOnly(const ReadOnly&) = delete;
  ReadOnly& operator=(const ReadOnly&) = delete;
  bool set() const { return (GetFileAttributesW(path_.c_str()) & FILE_ATTRIBUTE_READONLY) != 0; }

 private:
  std::wstring path_;
};

// As on Windows, the read-only attribute of a directory does not stop files
// from being made in it.
TEST(UnusualTargetTest, TargetBelowReadOnlyDirectoryInstallsAndRemoves) {
  e2e::Profile profile;
  const std::wstring locked = profile.root() + L"\\locked";
  e2e::MakeDirectories(locked);
  const ReadOnly readOnly(locked);
  if (!readOnly.set()) GTEST_SKIP() << "this Wine does not keep a directory's read-only attribute";
  InstallAndRemove("target below a read-only directory", profile, locked + L"\\Orvanta",
                   locked + L"\\Orvanta");
}

// Points the Start-menu Programs folder somewhere else for one test; the
// profile puts the original back when it goes.
void RedirectPrograms(const std::wstring& path) {
  MakeLongDirectories(path);
  const DWORD bytes = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kShellFolders, L"Programs", REG_EXPAND_SZ,
                            path.c_str(), bytes),
            ERROR_SUCCESS);
}

TEST(ChineseProfileTest, InstallAndRemoveWithChineseFolderNames) {
  if (GetACP() != 936u) {
    ASSERT_FALSE(e2e::UnderWine())
        << "run under a Chinese locale (ORVANTA_WINE_LOCALE=zh_CN.UTF-8)";
    GTEST_SKIP() << "the system code page is " << GetACP() << ", not 936 (Chinese)";
  }
  e2e::Profile profile(L"本地应用数据");
  const std::wstring programs = profile.root() + L"\\开始菜单\\程序";
  RedirectPrograms(programs);
  e2e::WriteBytes(programs + L"\\其他程序.txt", kUserBytes);
  const std::wstring target = profile.defaultTarget();
  const std::wstring shortcut = programs + L"\\Orvanta 演示计时器.lnk";

  const Outcome install = RunConfirmed(e2e::TestInputs().setupProgram, {});
  EXPECT_EQ(install.confirmation, L"安装 Orvanta 到：\n" + target + e2e::kClosingNote);
  EXPECT_EQ(install.exitCode, 0u) << Describe(install);
  EXPECT_TRUE(e2e::ReadBytes(target + L"\\Orvanta.exe") == e2e::PayloadBytes(L"Orvanta.exe"));
  EXPECT_TRUE(e2e::ReadBytes(target + L"\\README.md") == e2e::PayloadBytes(L"README.md"));
  EXPECT_EQ(e2e::ReadBytes(target + L"\\Orvanta-Native.install"), std::string(kMarkerBytes));
  const auto link = e2e::ReadLink(shortcut);
  ASSERT_TRUE(link.has_value());
  EXPECT_EQ(link->target, target + L"\\Orvanta.exe");
  EXPECT_EQ(link->workingDirectory, target);

  const Outcome removal = RunConfirmed(e2e::TestInputs().setupProgram, {L"--remove"});
  EXPECT_EQ(removal.confirmation, L"移除 Orvanta？\n" + target + e2e::kClosingNote);
  EXPECT_EQ(removal.exitCode, 0u) << Describe(removal);
  EXPECT_FALSE(e2e::PathExists(target));
  EXPECT_FALSE(e2e::PathExists(shortcut));
  EXPECT_EQ(e2e::ReadBytes(programs + L"\\其他程序.txt"), std::string(kUserBytes));
  std::printf("profile %s, Start menu %s\n", Narrow(profile.localAppData()).c_str(),
              Narrow(programs).c_str());
  Report("Chinese profile under code page 936", install, removal);
}

}  // namespace
}  // namespace orvanta::reliability
