#pragma once

#include <windows.h>
#include <objbase.h>

#include <memory>
#include <type_traits>

// One owner for each kind of Windows resource that the program holds.
namespace orvanta {

// A kernel file handle, whose invalid value is INVALID_HANDLE_VALUE.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) noexcept : handle_(handle) {}
  ~FileHandle() { Close(); }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  HANDLE get() const noexcept { return handle_; }
  bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }
  void Close() noexcept {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
// A kernel handle whose invalid value is null: a mutex, an event, a process.
using KernelHandle = std::unique_ptr<void, HandleCloser>;

struct CoTaskMemFreer {
  void operator()(void* memory) const noexcept { CoTaskMemFree(memory); }
};
// Memory that the shell or COM allocated for the caller.
template <class T>
using CoTaskMemPtr = std::unique_ptr<T, CoTaskMemFreer>;

struct LocalFreer {
  void operator()(void* memory) const noexcept { LocalFree(memory); }
};
// Memory that the system allocated with LocalAlloc for the caller.
template <class T>
using LocalPtr = std::unique_ptr<T, LocalFreer>;

struct LibraryFreer {
  void operator()(HMODULE library) const noexcept { FreeLibrary(library); }
};
// A DLL loaded at run time.
using LibraryPtr = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

// COM on this thread, apartment-threaded, released when the scope ends.
class ComApartment {
 public:
  ComApartment() noexcept
      : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace orvanta
