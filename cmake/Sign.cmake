# Signs FILE in place with osslsigncode: -DTOOL= -DFILE= -DCERT= -DKEY= [-DTIMESTAMP_URL=]
cmake_minimum_required(VERSION 3.20)

set(arguments sign -certs "${CERT}" -key "${KEY}" -h sha256 -n "Orvanta Setup")
if(TIMESTAMP_URL)
  list(APPEND arguments -ts "${TIMESTAMP_URL}")
endif()
execute_process(COMMAND "${TOOL}" ${arguments} -in "${FILE}" -out "${FILE}.signed"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${FILE}.signed")
  message(FATAL_ERROR "Signing ${FILE} failed.")
endif()
file(RENAME "${FILE}.signed" "${FILE}")
file(SHA256 "${FILE}" digest)
message(STATUS "Signed ${FILE}: ${digest}")
