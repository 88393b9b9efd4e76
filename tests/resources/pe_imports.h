#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

// The DLLs that a PE32+ image names in its import and delay-import directories,
// read from the file's bytes as the loader would find them.
namespace orvanta::resources_test {

class PeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The DLL names in directory order, imports first, then delay-loaded ones.
// Throws PeError when the bytes are not a well-formed 64-bit PE image.
std::vector<std::string> ImportedDllNames(const std::vector<uint8_t>& image);

// Whether a DLL of this name is part of Windows 10 and later (case-insensitive),
// so that a program importing only such DLLs runs from a folder of its own.
bool ShipsWithWindows(const std::string& dllName);

}  // namespace orvanta::resources_test
