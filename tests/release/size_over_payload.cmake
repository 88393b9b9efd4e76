# Fails when the setup program carries more than LIMIT bytes besides its payload;
# with LIMIT empty it only reports the figure.
# Usage: cmake -DSETUP=<exe> -DPAYLOAD=<file>|<file> -DLIMIT=<bytes> -P size_over_payload.cmake
file(SIZE "${SETUP}" total)
string(REPLACE "|" ";" PAYLOAD "${PAYLOAD}")
set(carried 0)
foreach(file IN LISTS PAYLOAD)
  file(SIZE "${file}" size)
  math(EXPR carried "${carried} + ${size}")
endforeach()
math(EXPR over "${total} - ${carried}")
if(LIMIT STREQUAL "")
  message("size over the payload: ${over} bytes of ${total} (no limit for this run-time)")
  return()
endif()
message("size over the payload: ${over} bytes of ${total} (target at most ${LIMIT})")
if(over GREATER LIMIT)
  message(FATAL_ERROR "the setup program is ${over} bytes over its payload, above ${LIMIT}")
endif()
