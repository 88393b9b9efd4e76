# Refuses a payload that the setup program must not ship: an application that
# is not a 64-bit Windows executable, a read-me that is not UTF-8 or starts
# with a byte-order mark. Run with -DAPPLICATION=<file> -DREADME=<file>.
cmake_minimum_required(VERSION 3.20)

function(read_hex file offset length out)
  file(READ "${file}" hex OFFSET ${offset} LIMIT ${length} HEX)
  set(${out} "${hex}" PARENT_SCOPE)
endfunction()

# Little-endian hex bytes to a number.
function(hex_le_to_number hex out)
  string(LENGTH "${hex}" length)
  set(value 0)
  set(position ${length})
  while(position GREATER 0)
    math(EXPR position "${position} - 2")
    string(SUBSTRING "${hex}" ${position} 2 byte)
    math(EXPR value "${value} * 256 + 0x${byte}")
  endwhile()
  set(${out} ${value} PARENT_SCOPE)
endfunction()

function(check_application file)
  set(problem "is not a 64-bit Windows executable")
  file(SIZE "${file}" size)
  if(size LESS 64)
    message(FATAL_ERROR "Application payload ${file} ${problem} (too short).")
  endif()
  read_hex("${file}" 0 2 mz)
  read_hex("${file}" 60 4 lfanewHex)
  hex_le_to_number("${lfanewHex}" lfanew)
  math(EXPR needed "${lfanew} + 26")
  if(NOT mz STREQUAL "4d5a" OR size LESS needed)
    message(FATAL_ERROR "Application payload ${file} ${problem} (no MZ/PE header).")
  endif()
  read_hex("${file}" ${lfanew} 6 signature)
  math(EXPR magicOffset "${lfanew} + 24")
  read_hex("${file}" ${magicOffset} 2 magic)
  if(NOT signature STREQUAL "504500006486" OR NOT magic STREQUAL "0b02")
    message(FATAL_ERROR "Application payload ${file} ${problem} (machine or format is not x64 PE32+).")
  endif()
endfunction()

# Valid UTF-8 as a pattern over hex pairs; whatever the pattern leaves at the
# first invalid byte is reported.
set(cont "[89ab][0-9a-f]")
set(utf8_char
  "[0-7][0-9a-f]|c[2-9a-f]${cont}|d[0-9a-f]${cont}|e0[ab][0-9a-f]${cont}|e[1-9a-cef]${cont}${cont}|ed[89][0-9a-f]${cont}|f0[9ab][0-9a-f]${cont}${cont}|f[1-3]${cont}${cont}${cont}|f48[0-9a-f]${cont}${cont}")

function(check_readme file)
  file(READ "${file}" hex HEX)
  if(hex MATCHES "^efbbbf")
    message(FATAL_ERROR "Read-me payload ${file} starts with a byte-order mark; ship it without one.")
  endif()
  string(REGEX REPLACE "^(${utf8_char})+" "" rest "${hex}")
  if(NOT rest STREQUAL "")
    string(LENGTH "${hex}" total)
    string(LENGTH "${rest}" left)
    math(EXPR offset "(${total} - ${left}) / 2")
    message(FATAL_ERROR "Read-me payload ${file} is not valid UTF-8 (byte ${offset}).")
  endif()
endfunction()

check_application("${APPLICATION}")
check_readme("${README}")
