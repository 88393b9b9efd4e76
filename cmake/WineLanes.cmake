# The Wine lanes of the test run, for the cross build from Linux. The build
# tree is reached through drive Z:, which maps /. The entries run in two
# lanes, each a prefix with a server and a display of its own, started first
# and ended last, so that no process outlives the run: two entries that
# redirect the profile run at once, one in each. The second prefix is a copy
# of the first, made once that has booted. An entry runs in the lane that
# ORVANTA_LANE names where it is declared: the end-to-end tests and the
# entries that need no profile in the first, the release and reliability
# checks in the second, which splits the measured times about evenly.
set(ORVANTA_LANE 1)
if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
  set(ORVANTA_TESTS_UNDER_WINE ON)
  set(ORVANTA_HOST_DRIVE "Z:")
  set(ORVANTA_WINEPREFIX "${PROJECT_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of the tests")
  set(ORVANTA_WINEPREFIX_1 "${ORVANTA_WINEPREFIX}")
  set(ORVANTA_WINEPREFIX_2 "${ORVANTA_WINEPREFIX}-2")
  set(ORVANTA_COPIES_1 "${ORVANTA_WINEPREFIX_2}")
  foreach(lane 1 2)
    add_test(NAME wine_prefix_${lane}_start
             COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix-init ${ORVANTA_COPIES_${lane}})
    add_test(NAME wine_prefix_${lane}_stop COMMAND ${PROJECT_SOURCE_DIR}/scripts/wine-prefix-stop)
    # The tests' display has no window manager to wait for (scripts/wine-prefix-init).
    set_tests_properties(wine_prefix_${lane}_start PROPERTIES FIXTURES_SETUP wine_${lane} COST 2000
      ENVIRONMENT "WINEPREFIX=${ORVANTA_WINEPREFIX_${lane}};ORVANTA_WINE_UNMANAGED=1;ORVANTA_WINE_DISPLAY=xvfb")
    set_tests_properties(wine_prefix_${lane}_stop PROPERTIES FIXTURES_CLEANUP wine_${lane}
                         ENVIRONMENT "WINEPREFIX=${ORVANTA_WINEPREFIX_${lane}}")
  endforeach()
  set_tests_properties(wine_prefix_2_start PROPERTIES FIXTURES_REQUIRED wine_1)
else()
  set(ORVANTA_TESTS_UNDER_WINE OFF)
  set(ORVANTA_HOST_DRIVE "")
endif()

# Puts an entry that uses Wine in its lane.
function(orvanta_in_lane test)
  if(ORVANTA_TESTS_UNDER_WINE)
    set_property(TEST ${test} APPEND PROPERTY
                 ENVIRONMENT "WINEPREFIX=${ORVANTA_WINEPREFIX_${ORVANTA_LANE}}")
    set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED wine_${ORVANTA_LANE})
  endif()
endfunction()

# The entries that redirect the profile's folders in the registry take turns
# through their lane's lock; on Windows there is one profile, and one lock.
# They are the longest chains of the test run, so they are started first:
# the other entries fill the places beside them.
function(orvanta_takes_profile)
  set(lock profile)
  if(ORVANTA_TESTS_UNDER_WINE)
    set(lock wine_profile_${ORVANTA_LANE})
  endif()
  set_tests_properties(${ARGN} PROPERTIES RESOURCE_LOCK ${lock} COST 1000)
endfunction()
