// What each program of the project built with mingw-w64 carries in its image
// besides its own code; orvanta_windows_program adds this file to it.
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// The x64 load-configuration record up to its SEH fields, 0x70 bytes, the
// size that the first 64-bit linkers wrote. Spelled out because mingw-w64's
// headers before version 11 call DependentLoadFlags "Reserved1". What is not
// set is zero.
struct LoadConfigDirectory64 {
  std::uint32_t size = 0;
  std::uint32_t timeDateStamp = 0;
  std::uint16_t majorVersion = 0;
  std::uint16_t minorVersion = 0;
  std::uint32_t globalFlagsClear = 0;
  std::uint32_t globalFlagsSet = 0;
  std::uint32_t criticalSectionDefaultTimeout = 0;
  std::uint64_t deCommitFreeBlockThreshold = 0;
  std::uint64_t deCommitTotalFreeThreshold = 0;
  std::uint64_t lockPrefixTable = 0;
  std::uint64_t maximumAllocationSize = 0;
  std::uint64_t virtualMemoryThreshold = 0;
  std::uint64_t processAffinityMask = 0;
  std::uint32_t processHeapFlags = 0;
  std::uint16_t csdVersion = 0;
  std::uint16_t dependentLoadFlags = 0;
  std::uint64_t editList = 0;
  std::uint64_t securityCookie = 0;
  std::uint64_t seHandlerTable = 0;
  std::uint64_t seHandlerCount = 0;
};
static_assert(offsetof(LoadConfigDirectory64, dependentLoadFlags) == 0x4E);
static_assert(offsetof(LoadConfigDirectory64, securityCookie) == 0x58);
static_assert(sizeof(LoadConfigDirectory64) == 0x70);

}  // namespace

// LLVM's linker points the image's load-configuration directory at the record
// of this name, with the length that its first field gives. The DLLs of the
// import table are loaded before wWinMain can call SetDefaultDllDirectories:
// this flag has the loader take them from System32 alone. No security cookie
// and no control-flow guard table: the mingw-w64 run-time sets up neither, so
// both stay absent, as in the images that GNU ld made without this record.
// (MSVC's run-time defines the record itself; its linker takes the flag as
// /DEPENDENTLOADFLAG.)
extern "C" const LoadConfigDirectory64 _load_config_used = {
    .size = sizeof(LoadConfigDirectory64),
    .dependentLoadFlags = LOAD_LIBRARY_SEARCH_SYSTEM32,
};

#if defined(__GLIBCXX__)
// The library's default terminate handler writes the uncaught exception's
// demangled type to stderr, which a GUI program has not: this one keeps the
// demangler and stdio out of the image (about 70 KB). The failure region
// catches every exception, so only a broken invariant ends up here.
void __gnu_cxx::__verbose_terminate_handler() { std::abort(); }

namespace {

// What the library's own checks throw here in place of length_error,
// logic_error and out_of_range. Those classes keep their text in a second,
// reference-counted string type, whose code the linker cannot drop once one
// of them is linked (about 20 KB with their kin); the text they would carry
// names a library function, which tells the user nothing more.
class LibraryError : public std::exception {
 public:
  const char* what() const noexcept override { return "Internal error"; }
};

}  // namespace

// The library's throwing functions that the programs reach, all defined in
// one library object. A program that reaches another one links that object
// too and fails with a duplicate definition: add that one here.
namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw LibraryError(); }
void __throw_logic_error(const char*) { throw LibraryError(); }
void __throw_out_of_range_fmt(const char*, ...) { throw LibraryError(); }
}  // namespace std
#endif
