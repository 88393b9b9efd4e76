# Warnings on for every target of the project, and the link settings of its Windows programs.
function(orvanta_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /utf-8 /permissive-)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  endif()
endfunction()

# Unicode GUI entry, and on mingw a static runtime so that only system DLLs are imported.
function(orvanta_windows_program target)
  if(MINGW)
    target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++
                        -Wl,--gc-sections -s)
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
  endif()
endfunction()
