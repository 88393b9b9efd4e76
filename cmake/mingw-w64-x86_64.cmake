# Cross build for Windows x64 with the mingw-w64 compiler of the win32 thread model:
# the program is single-threaded, and this variant links no threading library
# into it (the POSIX one brings winpthreads, whose licence notice must travel
# with every copy).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ORVANTA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ORVANTA_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${ORVANTA_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${ORVANTA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVANTA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Tests are Windows programs: CTest starts them through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
