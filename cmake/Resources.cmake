# The setup program's resource scripts: the two payload entries, the icon
# group, the version record and the manifest. Paths are written into generated
# scripts so that any application binary and read-me can be dropped in without
# a source change.
if(ORVANTA_APPLICATION_EXE)
  set(ORVANTA_APPLICATION_INPUT "${ORVANTA_APPLICATION_EXE}")
  set(ORVANTA_APPLICATION_DEPENDS "${ORVANTA_APPLICATION_EXE}")
else()
  set(ORVANTA_APPLICATION_INPUT "$<TARGET_FILE:orvanta_standin>")
  set(ORVANTA_APPLICATION_DEPENDS orvanta_standin)
endif()

# The inputs are copied to fixed places that the resource script names, so
# that any file can be dropped in and a change to it rebuilds the program.
set(ORVANTA_PAYLOAD_DIR "${PROJECT_BINARY_DIR}/payload-staging")
set(ORVANTA_APPLICATION_PATH "${ORVANTA_PAYLOAD_DIR}/Orvanta.exe")
set(ORVANTA_README_PATH "${ORVANTA_PAYLOAD_DIR}/README.md")
add_custom_command(
  OUTPUT "${ORVANTA_APPLICATION_PATH}" "${ORVANTA_README_PATH}"
  COMMAND ${CMAKE_COMMAND} "-DAPPLICATION=${ORVANTA_APPLICATION_INPUT}"
          "-DREADME=${ORVANTA_README}" -P "${PROJECT_SOURCE_DIR}/cmake/CheckPayload.cmake"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${ORVANTA_PAYLOAD_DIR}"
  COMMAND ${CMAKE_COMMAND} -E copy "${ORVANTA_APPLICATION_INPUT}" "${ORVANTA_APPLICATION_PATH}"
  COMMAND ${CMAKE_COMMAND} -E copy "${ORVANTA_README}" "${ORVANTA_README_PATH}"
  DEPENDS ${ORVANTA_APPLICATION_DEPENDS} "${ORVANTA_README}"
          "${PROJECT_SOURCE_DIR}/cmake/CheckPayload.cmake"
  COMMENT "Staging the application and read-me payload"
  VERBATIM)
add_custom_target(orvanta_payload DEPENDS "${ORVANTA_APPLICATION_PATH}" "${ORVANTA_README_PATH}")

set(ORVANTA_RESOURCE_DIR "${PROJECT_BINARY_DIR}/resources")
set(ORVANTA_MANIFEST_RC_PATH "${ORVANTA_RESOURCE_DIR}/setup.manifest")
set(ORVANTA_APPLICATION_RC_PATH "${ORVANTA_APPLICATION_PATH}")
set(ORVANTA_README_RC_PATH "${ORVANTA_README_PATH}")
# The icon is committed with the generator that drew it (resources/icon/make_icon.py).
set(ORVANTA_ICON_RC_PATH "${PROJECT_SOURCE_DIR}/resources/icon/orvanta-setup.ico")

configure_file(resources/setup.manifest.in "${ORVANTA_RESOURCE_DIR}/setup.manifest" @ONLY)
configure_file(resources/manifest.rc.in "${ORVANTA_RESOURCE_DIR}/manifest.rc" @ONLY)
configure_file(resources/version.rc.in "${ORVANTA_RESOURCE_DIR}/version.rc" @ONLY)
configure_file(resources/payload.rc.in "${ORVANTA_RESOURCE_DIR}/payload.rc" @ONLY)
configure_file(resources/icon.rc.in "${ORVANTA_RESOURCE_DIR}/icon.rc" @ONLY)

set(ORVANTA_SETUP_RESOURCES
  "${ORVANTA_RESOURCE_DIR}/payload.rc"
  "${ORVANTA_RESOURCE_DIR}/icon.rc"
  "${ORVANTA_RESOURCE_DIR}/version.rc"
  "${ORVANTA_RESOURCE_DIR}/manifest.rc")
set_source_files_properties("${ORVANTA_RESOURCE_DIR}/payload.rc" PROPERTIES
  OBJECT_DEPENDS "${ORVANTA_README_PATH};${ORVANTA_APPLICATION_PATH}")
set_source_files_properties("${ORVANTA_RESOURCE_DIR}/icon.rc" PROPERTIES
  OBJECT_DEPENDS "${ORVANTA_ICON_RC_PATH}")
set_source_files_properties("${ORVANTA_RESOURCE_DIR}/manifest.rc" PROPERTIES
  OBJECT_DEPENDS "${ORVANTA_RESOURCE_DIR}/setup.manifest")
add_dependencies(Orvanta-Setup orvanta_payload)
