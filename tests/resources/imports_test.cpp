#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/pe_imports.h"
#include "resources/setup_image.h"

namespace orvanta::resources_test {
namespace {

// The setup program is one file: a DLL that Windows does not ship, such as
// the compiler's run-time, would make it fail to start on a clean system.
TEST(ImportTable, NamesOnlyDllsThatShipWithWindows) {
  const std::vector<std::string> names = ImportedDllNames(ReadFileBytes(TestInputs().setupProgram));
  ASSERT_FALSE(names.empty()) << "no import directory found";
  bool kernel32 = false;
  for (const std::string& name : names) {
    EXPECT_TRUE(ShipsWithWindows(name)) << name << " does not ship with Windows";
    kernel32 = kernel32 || _stricmp(name.c_str(), "kernel32.dll") == 0;
  }
  EXPECT_TRUE(kernel32) << "KERNEL32.dll missing: the import directory was misread";
}

TEST(ImportTable, CompilerRunTimesDoNotCountAsShippedWithWindows) {
  for (const char* name : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll",
                           "vcruntime140.dll", "msvcp140.dll", "kernel32.dll.evil", "gtest.dll"}) {
    EXPECT_FALSE(ShipsWithWindows(name)) << name;
  }
  for (const char* name : {"KERNEL32.dll", "msvcrt.dll", "SHELL32.dll", "ole32.dll",
                           "api-ms-win-crt-runtime-l1-1-0.dll"}) {
    EXPECT_TRUE(ShipsWithWindows(name)) << name;
  }
}

}  // namespace
}  // namespace orvanta::resources_test
