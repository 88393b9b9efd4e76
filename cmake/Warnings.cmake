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
    # An uncaught exception has nowhere to print in a GUI program: without the
    # verbose terminate handler the demangler and stdio stay out (about 70 KB).
    target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                        -Wl,--gc-sections -Wl,--no-insert-timestamp -s)
    # LLVM's linker, which the clang build uses, has no --defsym.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      target_link_options(${target} PRIVATE
                          -Wl,--defsym,_ZN9__gnu_cxx27__verbose_terminate_handlerEv=abort)
    endif()
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections
                           -ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                           -ffile-prefix-map=${PROJECT_BINARY_DIR}=build)
  elseif(MSVC)
    target_link_options(${target} PRIVATE /Brepro)
    target_compile_options(${target} PRIVATE /Brepro)
  endif()
endfunction()
