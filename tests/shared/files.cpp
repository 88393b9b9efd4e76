#include "shared/files.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

namespace orvanta::test {
namespace {

// Closes the handle on every path out.
struct Closer {
  HANDLE handle;
  ~Closer() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

}  // namespace

std::optional<std::string> ReadBytes(const std::wstring& path) {
  const Closer file{CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (file.handle == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.handle, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
  const Closer file{CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr)};
  DWORD written = 0;
  if (file.handle == INVALID_HANDLE_VALUE ||
      !WriteFile(file.handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      written != bytes.size()) {
    throw std::runtime_error("cannot write test file");
  }
}

std::wstring WindowsPath(std::wstring_view path) {
  std::wstring windows(path);
  std::replace(windows.begin(), windows.end(), L'/', L'\\');
  return windows;
}

}  // namespace orvanta::test
