// The floor: the least a program can do to make the same install or removal.
// It makes the setup program's system calls in the same order, with the same
// payload embedded the same way, and nothing else: no option table, no path
// grammar, no error objects, no dialogs.
//
//   floor.exe install|remove full|files TARGET-DIR
//
// "files" leaves the shortcut out, as the setup program's --no-shortcut does.
// Exit code 0 on success, 1 at the first failed main action.
#include <windows.h>
#include <objbase.h>
#include <propkey.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

constexpr char kMarker[] = "Orvanta-Native installer v1\n";
constexpr wchar_t kAppUserModelId[] = L"Orvanta.Native";
constexpr wchar_t kDescription[] = L"Orvanta 演示计时器";

struct Paths {
  std::wstring target, executable, readme, marker, primary, legacy;
};

std::wstring KnownFolder(REFKNOWNFOLDERID folder) {
  wchar_t* path = nullptr;
  SHGetKnownFolderPath(folder, KF_FLAG_DEFAULT, nullptr, &path);
  std::wstring result = path != nullptr ? path : L"";
  CoTaskMemFree(path);
  return result;
}

bool Exists(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != 0;
}

// The marker test: open, read the head, compare.
bool Owned(const std::wstring& marker) {
  const HANDLE file = CreateFileW(marker.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char head[sizeof(kMarker)] = {};
  DWORD read = 0;
  ReadFile(file, head, sizeof(head), &read, nullptr);
  CloseHandle(file);
  return std::memcmp(head, kMarker, sizeof(kMarker) - 1) == 0;
}

bool StageAndReplace(const std::wstring& destination, const void* data, DWORD size) {
  const std::wstring staged = destination + L".new";
  const HANDLE file = CreateFileW(staged.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, data, size, &written, nullptr) && written == size && FlushFileBuffers(file);
  CloseHandle(file);
  return ok && MoveFileExW(staged.c_str(), destination.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

// The marker: the read-only test, then staged and renamed like the payload.
bool WriteMarker(const std::wstring& marker) {
  const DWORD attributes = GetFileAttributesW(marker.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) return false;
  return StageAndReplace(marker, kMarker, sizeof(kMarker) - 1);
}

bool Deploy(WORD id, const std::wstring& destination) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (resource == nullptr) return false;
  const DWORD size = SizeofResource(module, resource);
  return StageAndReplace(destination, LockResource(LoadResource(module, resource)), size);
}

// The directory chain, as the setup program walks it: each ancestor below the root.
bool CreateChain(const std::wstring& directory) {
  for (std::size_t pos = 3; pos <= directory.size(); ++pos) {
    if (pos < directory.size() && directory[pos] != L'\\') continue;
    const std::wstring step = directory.substr(0, pos);
    const DWORD attributes = GetFileAttributesW(step.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) continue;
    if (!CreateDirectoryW(step.c_str(), nullptr)) return false;
  }
  return true;
}

bool PointsAt(const std::wstring& shortcut, const std::wstring& executable) {
  if (!Exists(shortcut)) return false;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) ||
      FAILED(link.As(&file)) || FAILED(file->Load(shortcut.c_str(), STGM_READ))) {
    return false;
  }
  std::vector<wchar_t> stored(32768, L'\0');
  if (FAILED(link->GetPath(stored.data(), 32768, nullptr, SLGP_RAWPATH))) return false;
  return _wcsicmp(stored.data(), executable.c_str()) == 0;
}

void SetAppUserModelId(IShellLinkW* link) {
  ComPtr<IPropertyStore> store;
  if (FAILED(link->QueryInterface(IID_PPV_ARGS(&store)))) return;
  auto* text = static_cast<wchar_t*>(CoTaskMemAlloc(sizeof(kAppUserModelId)));
  if (text == nullptr) return;
  std::memcpy(text, kAppUserModelId, sizeof(kAppUserModelId));
  PROPVARIANT value;
  PropVariantInit(&value);
  value.vt = VT_LPWSTR;
  value.pwszVal = text;
  store->SetValue(PKEY_AppUserModel_ID, value);
  store->Commit();
  PropVariantClear(&value);
}

ComPtr<IShellLinkW> NewLink(const Paths& paths) {
  ComPtr<IShellLinkW> link;
  if (FAILED(
          CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link)))) {
    return nullptr;
  }
  link->SetPath(paths.executable.c_str());
  link->SetWorkingDirectory(paths.target.c_str());
  link->SetIconLocation(paths.executable.c_str(), 0);
  link->SetDescription(kDescription);
  SetAppUserModelId(link.Get());
  return link;
}

// The link's bytes through a stream, as the setup program makes them.
std::vector<char> LinkBytes(IShellLinkW* link) {
  ComPtr<IPersistStream> persist;
  ComPtr<IStream> stream;
  STATSTG stat{};
  ULONG read = 0;
  if (FAILED(link->QueryInterface(IID_PPV_ARGS(&persist))) ||
      FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
      FAILED(persist->Save(stream.Get(), TRUE)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
    return {};
  }
  std::vector<char> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
  stream->Seek({}, STREAM_SEEK_SET, nullptr);
  stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

// The same calls as the setup program: the relative path, a stream save, the
// load-back test of the working directory, and a staged, flushed replacement.
bool SaveShortcut(const Paths& paths) {
  ComPtr<IShellLinkW> link = NewLink(paths);
  if (!link || FAILED(link->SetRelativePath(paths.primary.c_str(), 0))) return false;
  std::vector<char> bytes = LinkBytes(link.Get());
  ComPtr<IShellLinkW> loaded = NewLink(paths);
  ComPtr<IPersistStream> persist;
  ComPtr<IStream> stream;
  wchar_t directory[MAX_PATH] = {};
  const bool same =
      loaded && SUCCEEDED(loaded.As(&persist)) &&
      SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) &&
      SUCCEEDED(stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr)) &&
      SUCCEEDED(stream->Seek({}, STREAM_SEEK_SET, nullptr)) &&
      SUCCEEDED(persist->Load(stream.Get())) &&
      SUCCEEDED(loaded->GetWorkingDirectory(directory, MAX_PATH)) && paths.target == directory;
  if (!same) bytes = LinkBytes(NewLink(paths).Get());
  return !bytes.empty() &&
         StageAndReplace(paths.primary, bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool Install(const Paths& paths, bool owned, bool shortcut) {
  if (!owned && (Exists(paths.executable) || Exists(paths.readme) || Exists(paths.marker))) {
    return false;
  }
  if (shortcut && Exists(paths.primary) && !PointsAt(paths.primary, paths.executable)) {
    return false;
  }
  if (!CreateChain(paths.target) || !Deploy(202, paths.readme) || !Deploy(201, paths.executable) ||
      !WriteMarker(paths.marker)) {
    return false;
  }
  if (shortcut) {
    if (!SaveShortcut(paths)) return false;
    if (PointsAt(paths.legacy, paths.executable)) DeleteFileW(paths.legacy.c_str());
  }
  SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, paths.executable.c_str(), nullptr);
  if (shortcut) SHChangeNotify(SHCNE_UPDATEITEM, SHCNF_PATHW, paths.primary.c_str(), nullptr);
  return true;
}

bool DeleteIfPresent(const std::wstring& path) {
  return !Exists(path) || DeleteFileW(path.c_str());
}

bool Remove(const Paths& paths, bool owned) {
  if (!owned || !DeleteIfPresent(paths.executable) || !DeleteIfPresent(paths.readme) ||
      !DeleteIfPresent(paths.marker)) {
    return false;
  }
  if (PointsAt(paths.primary, paths.executable)) DeleteFileW(paths.primary.c_str());
  if (PointsAt(paths.legacy, paths.executable)) DeleteFileW(paths.legacy.c_str());
  RemoveDirectoryW(paths.target.c_str());
  return true;
}

int Run() {
  const std::wstring local = KnownFolder(FOLDERID_LocalAppData);
  Owned(local + L"\\Programs\\Orvanta-Native\\Orvanta-Native.install");
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr || count != 4) return 1;
  const bool remove = std::wcscmp(argv[1], L"remove") == 0;
  const bool shortcut = std::wcscmp(argv[2], L"full") == 0;
  wchar_t full[MAX_PATH];
  const DWORD length = GetFullPathNameW(argv[3], MAX_PATH, full, nullptr);
  LocalFree(argv);
  if (length == 0 || length >= MAX_PATH) return 1;

  Paths paths;
  paths.target = full;
  paths.executable = paths.target + L"\\Orvanta.exe";
  paths.readme = paths.target + L"\\README.md";
  paths.marker = paths.target + L"\\Orvanta-Native.install";
  const bool owned = Owned(paths.marker);
  const std::wstring programs = KnownFolder(FOLDERID_Programs);
  paths.primary = programs + L"\\Orvanta 演示计时器.lnk";
  paths.legacy = programs + L"\\Orvanta Native.lnk";
  return (remove ? Remove(paths, owned) : Install(paths, owned, shortcut)) ? 0 : 1;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const int code = Run();
  CoUninitialize();
  return code;
}
