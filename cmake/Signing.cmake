# Optional Authenticode signing of the setup program, off by default. Name a
# certificate and its private key (PEM files) to sign every build of it; name
# a time-stamping server to have the signature outlive the certificate.
set(ORVANTA_SIGNING_CERT "" CACHE FILEPATH "PEM certificate (chain) to sign Orvanta-Setup.exe with")
set(ORVANTA_SIGNING_KEY "" CACHE FILEPATH "PEM private key of the signing certificate")
set(ORVANTA_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamping server, optional")

if(ORVANTA_SIGNING_CERT OR ORVANTA_SIGNING_KEY)
  if(NOT ORVANTA_SIGNING_CERT OR NOT ORVANTA_SIGNING_KEY)
    message(FATAL_ERROR "Signing needs both ORVANTA_SIGNING_CERT and ORVANTA_SIGNING_KEY.")
  endif()
  find_program(ORVANTA_OSSLSIGNCODE osslsigncode REQUIRED)
  add_custom_command(TARGET Orvanta-Setup POST_BUILD
    COMMAND ${CMAKE_COMMAND} "-DTOOL=${ORVANTA_OSSLSIGNCODE}" "-DFILE=$<TARGET_FILE:Orvanta-Setup>"
            "-DCERT=${ORVANTA_SIGNING_CERT}" "-DKEY=${ORVANTA_SIGNING_KEY}"
            "-DTIMESTAMP_URL=${ORVANTA_TIMESTAMP_URL}" -P "${PROJECT_SOURCE_DIR}/cmake/Sign.cmake"
    VERBATIM)
endif()
