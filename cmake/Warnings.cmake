# Warnings on for every target of the project, and the link settings of its Windows programs.
function(orvanta_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  endif()
endfunction()

# Unicode GUI entry, and on mingw a static runtime so that only system DLLs are
# imported. No time stamp and no build path goes into the binary, so that the
# same sources and payload give the same bytes wherever and whenever they are built.
function(orvanta_windows_program target)
  if(MINGW)
    # The load-configuration record and what replaces the C++ library's
    # terminate handler and throwing functions.
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/base/program_image.cpp)
    target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                        -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections
                           -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                           -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
    orvanta_program_code(${target})
    orvanta_link_with_lld(${target})
  elseif(MSVC)
    target_link_options(${target} PRIVATE /Brepro)
    target_compile_options(${target} PRIVATE /Brepro)
  endif()
endfunction()

# Code that goes into the setup program. On mingw no object carries the
# compiler's name, which the linker keeps (32 bytes per object), and the
# size build favours size over speed more than -Os does (0.3 KB): the program
# waits on the disk, not on its own instructions. GCC's size builds give each
# object its own private copy of a constructor or destructor that the object
# does not define (a string's copy, an error's destructor), which the linker
# cannot merge; the usual shared entry points cost 1 KB less.
function(orvanta_program_code target)
  if(MINGW)
    target_compile_options(${target} PRIVATE -fno-ident $<$<CONFIG:MinSizeRel>:-Oz>)
  endif()
  if(MINGW AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fno-declone-ctor-dtor)
  endif()
endfunction()

# LLVM's linker for a mingw program: it drops unused library functions
# together with their unwind data, which GNU ld 2.40 keeps, and fills the
# load-configuration directory from the program's record, which GNU ld leaves
# empty. The clang build uses it already.
function(orvanta_link_with_lld target)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    return()
  endif()
  if(CMAKE_HOST_UNIX)
    # Debian's cross GCC looks for lld only beside its own GNU ld, so it is
    # handed a collect2 that runs ld.lld.
    find_program(ORVANTA_LLD ld.lld)
    if(NOT ORVANTA_LLD)
      message(FATAL_ERROR "LLVM's linker ld.lld is missing: run scripts/deps.sh (Debian package lld).")
    endif()
    target_link_options(${target} PRIVATE -B${PROJECT_SOURCE_DIR}/cmake/gcc-lld/)
  else()
    target_link_options(${target} PRIVATE -fuse-ld=lld)
  endif()
endfunction()
