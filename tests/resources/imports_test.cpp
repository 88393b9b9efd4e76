#include <gtest/gtest.h>
// clang-format off
#include <windows.h>
#include <imagehlp.h>
// clang-format on

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "resources/setup_image.h"
#include "system_dlls.h"

namespace orvanta::resources_test {
namespace {

// Whether Windows ships the DLL: the shared list, where the compiler's own
// run-time DLLs (libstdc++, libgcc, libwinpthread, vcruntime) are not, and the
// Universal CRT's api-ms-win-crt-* sets.
bool ShipsWithWindows(std::string_view dllName) {
  std::string name(dllName);
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.starts_with("api-ms-win-crt-") && name.ends_with(".dll")) return true;
  return std::find(std::begin(test::kSystemDlls), std::end(test::kSystemDlls), name) !=
         std::end(test::kSystemDlls);
}

// The setup program's file as read from disk, looked at through ImageHlp: the
// headers, and the data directories that the loader reads.
class ImportTable : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_THROW(bytes_ = ReadFileBytes(TestInputs().setupProgram));
    headers_ = ImageNtHeader(bytes_.data());
    ASSERT_NE(headers_, nullptr) << "not a PE image";
    ASSERT_EQ(headers_->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
  }

  // A directory's data in the file, or null when the image has none.
  const void* Directory(USHORT entry, ULONG* size) {
    return ImageDirectoryEntryToData(bytes_.data(), FALSE, entry, size);
  }

  // A name that the headers point at; "?" when its address is outside the file.
  std::string String(DWORD rva) {
    const auto text = static_cast<const char*>(ImageRvaToVa(headers_, bytes_.data(), rva, nullptr));
    return text ? text : "?";
  }

  // The DLL names in directory order, imports first, then delay-loaded ones.
  std::vector<std::string> ImportedDllNames() {
    std::vector<std::string> names;
    ULONG size = 0;
    auto imports =
        static_cast<const IMAGE_IMPORT_DESCRIPTOR*>(Directory(IMAGE_DIRECTORY_ENTRY_IMPORT, &size));
    for (; imports != nullptr && imports->Name != 0; ++imports) {
      names.push_back(String(imports->Name));
    }
    auto delayed = static_cast<const IMAGE_DELAYLOAD_DESCRIPTOR*>(
        Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT, &size));
    for (; delayed != nullptr && delayed->DllNameRVA != 0; ++delayed) {
      names.push_back(String(delayed->DllNameRVA));
    }
    return names;
  }

  std::vector<uint8_t> bytes_;
  PIMAGE_NT_HEADERS headers_ = nullptr;
};

// The setup program is one file: a DLL that Windows does not ship, such as
// the compiler's run-time, would make it fail to start on a clean system.
TEST_F(ImportTable, NamesOnlyDllsThatShipWithWindows) {
  const std::vector<std::string> names = ImportedDllNames();
  ASSERT_FALSE(names.empty()) << "no import directory found";
  bool kernel32 = false;
  for (const std::string& name : names) {
    EXPECT_TRUE(ShipsWithWindows(name)) << name << " does not ship with Windows";
    kernel32 = kernel32 || _stricmp(name.c_str(), "kernel32.dll") == 0;
  }
  EXPECT_TRUE(kernel32) << "KERNEL32.dll missing: the import directory was misread";
}

TEST_F(ImportTable, CompilerRunTimesDoNotCountAsShippedWithWindows) {
  for (const char* name : {"libstdc++-6.dll", "libgcc_s_seh-1.dll", "libwinpthread-1.dll",
                           "vcruntime140.dll", "msvcp140.dll", "kernel32.dll.evil", "gtest.dll"}) {
    EXPECT_FALSE(ShipsWithWindows(name)) << name;
  }
  for (const char* name : {"KERNEL32.dll", "msvcrt.dll", "SHELL32.dll", "ole32.dll",
                           "api-ms-win-crt-runtime-l1-1-0.dll"}) {
    EXPECT_TRUE(ShipsWithWindows(name)) << name;
  }
}

// The POSIX-threads library would need its own licence notice beside the
// program; its assertions leave its source paths in any image that links it.
TEST_F(ImportTable, LinksNoPosixThreadsLibrary) {
  const std::string_view image(reinterpret_cast<const char*>(bytes_.data()), bytes_.size());
  EXPECT_EQ(image.find("winpthreads"), std::string_view::npos);
}

// Address-space layout randomisation with the whole 64-bit range, and no
// execution from data pages.
TEST_F(ImportTable, AsksForAslrWithHighEntropyAndForNx) {
  const WORD flags = headers_->OptionalHeader.DllCharacteristics;
  EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE);
  EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA);
  EXPECT_TRUE(flags & IMAGE_DLLCHARACTERISTICS_NX_COMPAT);
  EXPECT_FALSE(headers_->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED)
      << "without relocations the image cannot move";
}

// The DLLs of the import table are loaded before the program's first line can
// narrow the search: the load-configuration record has the loader look in
// System32 alone.
TEST_F(ImportTable, LoadsItsImportsFromSystem32Only) {
  ULONG size = 0;
  const auto record =
      static_cast<const uint8_t*>(Directory(IMAGE_DIRECTORY_ENTRY_LOAD_CONFIG, &size));
  ASSERT_NE(record, nullptr) << "no load-configuration directory";
  // DependentLoadFlags follows CSDVersion; mingw-w64's older headers call it Reserved1.
  constexpr size_t kFlagsAt = offsetof(IMAGE_LOAD_CONFIG_DIRECTORY64, CSDVersion) + sizeof(WORD);
  DWORD recordSize = 0;
  ASSERT_GE(size, sizeof recordSize);
  std::memcpy(&recordSize, record, sizeof recordSize);
  EXPECT_EQ(recordSize, size) << "the directory and the record disagree on its length";
  ASSERT_GE(recordSize, kFlagsAt + sizeof(WORD)) << "the record ends before DependentLoadFlags";
  WORD flags = 0;
  std::memcpy(&flags, record + kFlagsAt, sizeof flags);
  EXPECT_EQ(flags, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace
}  // namespace orvanta::resources_test
