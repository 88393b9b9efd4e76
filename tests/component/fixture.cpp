#include "component/fixture.h"

#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <stdexcept>

#include "base/errors.h"
#include "base/path.h"
#include "base/text.h"

namespace orvanta::test {
namespace {

std::wstring NewTempDirectory() {
  static std::atomic<unsigned> counter{0};
  wchar_t temp[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH + 1, temp) == 0) throw std::runtime_error("no temp path");
  const std::wstring name = L"orvanta-component-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(++counter);
  std::wstring path = AppendPath(temp, name);
  if (!CreateDirectoryW(path.c_str(), nullptr)) throw std::runtime_error("cannot make temp dir");
  return path;
}

}  // namespace

void ComponentTest::SetUp() { dir_ = NewTempDirectory(); }

void ComponentTest::TearDown() {
  RemoveTree(dir_);
  EXPECT_FALSE(IsDirectory(dir_)) << "test directory left behind";
}

std::wstring ComponentTest::Path(std::wstring_view name) const { return AppendPath(dir_, name); }

std::string PayloadBytes(const char* name) {
  // Wide, so that a build folder with letters outside the code page is found.
  const std::wstring path = std::wstring(ORVANTA_COMPONENT_PAYLOAD_DIR) + L"/" +
                            std::wstring(name, name + std::char_traits<char>::length(name));
  const std::optional<std::string> bytes = ReadBytes(path);
  if (!bytes) throw std::runtime_error(std::string("missing test payload ") + name);
  return *bytes;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Calls the visitor for each entry of the directory but "." and "..".
void ForEachEntry(const std::wstring& directory,
                  const std::function<void(const WIN32_FIND_DATAW&)>& visit) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileW(AppendPath(directory, L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring_view name = data.cFileName;
    if (name != L"." && name != L"..") visit(data);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

}  // namespace

int CountEntries(const std::wstring& directory) {
  int count = 0;
  ForEachEntry(directory, [&count](const WIN32_FIND_DATAW&) { ++count; });
  return count;
}

void RemoveTree(const std::wstring& directory) {
  ForEachEntry(directory, [&directory](const WIN32_FIND_DATAW& data) {
    const std::wstring path = AppendPath(directory, data.cFileName);
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      RemoveTree(path);
      return;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
  });
  RemoveDirectoryW(directory.c_str());
}

HANDLE OpenHeld(const std::wstring& path, DWORD access, DWORD share) {
  return CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                     nullptr);
}

LocalPtr<void> FromSddl(const std::wstring& text) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                                   &descriptor, nullptr))
      << NarrowFileText(text);
  return LocalPtr<void>(descriptor);
}

std::wstring SidText(PSID sid) {
  wchar_t* text = nullptr;
  EXPECT_TRUE(ConvertSidToStringSidW(sid, &text));
  const LocalPtr<wchar_t> owned(text);
  return text != nullptr ? text : L"";
}

std::wstring UserSid() {
  alignas(TOKEN_USER) BYTE token[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  EXPECT_TRUE(
      GetTokenInformation(GetCurrentProcessToken(), TokenUser, token, sizeof(token), &size));
  return SidText(reinterpret_cast<TOKEN_USER*>(token)->User.Sid);
}

MomentaryHold::MomentaryHold(const std::wstring& path, DWORD milliseconds, DWORD share)
    : file_(OpenHeld(path, GENERIC_READ, share)), milliseconds_(milliseconds) {
  if (file_.valid()) releaser_ = CreateThread(nullptr, 0, Release, this, 0, nullptr);
}

MomentaryHold::~MomentaryHold() {
  if (releaser_ == nullptr) return;
  WaitForSingleObject(releaser_, INFINITE);
  CloseHandle(releaser_);
}

DWORD WINAPI MomentaryHold::Release(void* self) {
  auto* hold = static_cast<MomentaryHold*>(self);
  Sleep(hold->milliseconds_);
  hold->file_.Close();
  return 0;
}

std::string SetupErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const SetupError& error) {
    return error.what();
  }
  return "<no error>";
}

}  // namespace orvanta::test
