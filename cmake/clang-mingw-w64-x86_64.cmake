# Cross build for Windows x64 from Linux with clang: the same target, headers,
# import libraries and C++ library as the GCC cross build, and a second
# compiler's warnings. The tests still run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANTA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${ORVANTA_MINGW_PREFIX})
set(CMAKE_CXX_COMPILER_TARGET ${ORVANTA_MINGW_PREFIX})
set(CMAKE_RC_COMPILER ${ORVANTA_MINGW_PREFIX}-windres)
set(CMAKE_AR /usr/bin/${ORVANTA_MINGW_PREFIX}-ar)
set(CMAKE_RANLIB /usr/bin/${ORVANTA_MINGW_PREFIX}-ranlib)
set(CMAKE_SYSROOT /usr/${ORVANTA_MINGW_PREFIX})

# This clang does not find the mingw-w64 GCC's C++ library by itself: name
# its headers and archives (the POSIX-threads build, whose std::mutex
# GoogleTest needs; its pthread library is linked statically). LLVM's linker
# links them: the GNU one warns that clang's copies of the library's type
# names differ in size from its own.
set(ORVANTA_MINGW_GCC_DIR /usr/lib/gcc/${ORVANTA_MINGW_PREFIX}/12-posix CACHE PATH
    "The mingw-w64 GCC whose libstdc++ clang uses")
set(ORVANTA_LIBSTDCXX_INCLUDE ${ORVANTA_MINGW_GCC_DIR}/include/c++)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${ORVANTA_LIBSTDCXX_INCLUDE}
    ${ORVANTA_LIBSTDCXX_INCLUDE}/${ORVANTA_MINGW_PREFIX} ${ORVANTA_LIBSTDCXX_INCLUDE}/backward)
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${ORVANTA_MINGW_GCC_DIR}")
endforeach()
# The project's one DLL links no library at all.
string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " -pthread")

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
