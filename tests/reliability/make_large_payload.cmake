# Makes the large payload of the interruption tests: the stand-in application
# followed by MEGABYTES of numbered filler, and the read-me followed by filler
# lines, so that writing either takes long enough to be cut in the middle.
# Every block is numbered, so that no piece of one file passes for another.
string(REPEAT "0123456789abcdef" 4095 filler)
set(application_filler "${OUTPUT_DIR}/application-filler.bin")
set(readme_filler "${OUTPUT_DIR}/readme-filler.md")
file(MAKE_DIRECTORY "${OUTPUT_DIR}")
file(WRITE "${application_filler}" "")
math(EXPR blocks "${MEGABYTES} * 16")
foreach(block RANGE 1 ${blocks})
  file(APPEND "${application_filler}" "block ${block} ${filler}\n")
endforeach()
file(WRITE "${readme_filler}" "")
math(EXPR lines "${README_KILOBYTES} * 16")
string(REPEAT "填充" 10 chinese)
foreach(line RANGE 1 ${lines})
  file(APPEND "${readme_filler}" "Line ${line} ${chinese}\r\n")
endforeach()
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${APPLICATION}" "${application_filler}"
                OUTPUT_FILE "${OUTPUT_DIR}/Orvanta.exe" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot write the large application payload")
endif()
execute_process(COMMAND "${CMAKE_COMMAND}" -E cat "${README}" "${readme_filler}"
                OUTPUT_FILE "${OUTPUT_DIR}/README.md" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot write the large read-me")
endif()
file(REMOVE "${application_filler}" "${readme_filler}")
