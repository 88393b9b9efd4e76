#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The built setup program, opened as a data file, and the inputs it was built from.
namespace orvanta::resources_test {

// Paths handed to the test program on its command line.
struct Inputs {
  std::wstring setupProgram;  // the built Orvanta-Setup.exe
  std::wstring application;   // the staged Orvanta.exe that it embeds as RCDATA 201
  std::wstring readme;        // the staged README.md that it embeds as RCDATA 202
};
const Inputs& TestInputs();
void SetTestInputs(Inputs inputs);

// Language 1033, English (United States): the language of every resource.
inline constexpr WORD kUsEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// A module mapped for its resources only: no code runs, nothing is resolved.
// Freed with the object; module() is null when the file could not be mapped.
class DataFileModule {
 public:
  explicit DataFileModule(const std::wstring& path);
  ~DataFileModule();
  DataFileModule(const DataFileModule&) = delete;
  DataFileModule& operator=(const DataFileModule&) = delete;

  HMODULE module() const noexcept { return module_; }
  DWORD loadError() const noexcept { return loadError_; }

 private:
  HMODULE module_;
  DWORD loadError_;
};

// One entry of the resource table, as "type/name/language" with integer ids
// in decimal and string ids in quotes, e.g. "10/201/1033" or "10/\"DATA\"/1033".
std::vector<std::wstring> EnumerateResourceTable(HMODULE module);

// The bytes of one resource in language 1033, or nothing when it is absent.
std::optional<std::vector<uint8_t>> ResourceBytes(HMODULE module, LPCWSTR type, WORD id);

// The whole content of a file; throws std::runtime_error when it cannot be read.
std::vector<uint8_t> ReadFileBytes(const std::wstring& path);

}  // namespace orvanta::resources_test
