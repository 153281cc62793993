# tavirelle_subsystem(NAME [DEPENDS targets...])
#
# Builds the folder's *.cc files (all but *_test.cc) into the static library
# tavirelle_NAME, and its *_test.cc files into the test program NAME_tests,
# whose tests CTest runs with the label NAME, in the tests' time zone.
function(tavirelle_subsystem name)
  cmake_parse_arguments(ARG "" "" "DEPENDS;TEST_DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cc)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cc)
  if(tests)
    list(REMOVE_ITEM sources ${tests})
  endif()
  if(NOT sources)
    # A subsystem whose first sources are still being written.
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/${name}_placeholder.cc)
    file(WRITE ${placeholder} "// no sources yet\n")
    set(sources ${placeholder})
  endif()
  add_library(tavirelle_${name} STATIC ${sources})
  target_link_libraries(tavirelle_${name} PUBLIC tavirelle_options ${ARG_DEPENDS})
  if(TAVIRELLE_BUILD_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE tavirelle_${name} tavirelle_testing
                          ${ARG_TEST_DEPENDS} tavirelle_test_main GTest::gmock)
    gtest_discover_tests(${name}_tests DISCOVERY_TIMEOUT 120
                         PROPERTIES LABELS ${name} TIMEOUT 300
                                    ENVIRONMENT "TZ=${TAVIRELLE_TEST_TIME_ZONE}")
  endif()
endfunction()
