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
  # Files the Windows build cannot compile yet (cmake/windows/Windows.cmake
  # says why).
  foreach(pending ${TAVIRELLE_WINDOWS_PENDING_SOURCES})
    list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/src/${pending})
    list(REMOVE_ITEM tests ${PROJECT_SOURCE_DIR}/src/${pending})
  endforeach()
  if(NOT sources)
    # A subsystem whose first sources are still being written.
    set(placeholder ${CMAKE_CURRENT_BINARY_DIR}/${name}_placeholder.cc)
    file(WRITE ${placeholder} "// no sources yet\n")
    set(sources ${placeholder})
  endif()
  add_library(tavirelle_${name} STATIC ${sources})
  target_link_libraries(tavirelle_${name} PUBLIC tavirelle_options ${ARG_DEPENDS})
  if(TAVIRELLE_BUILD_TESTS AND tests AND CMAKE_SYSTEM_NAME STREQUAL "Windows"
     AND NOT name IN_LIST TAVIRELLE_WINDOWS_TESTED_SUBSYSTEMS)
    # Compiled, so that they stay portable, but not linked: they need the
    # Windows platform layer.
    add_library(${name}_tests OBJECT ${tests})
    target_link_libraries(${name}_tests PRIVATE tavirelle_${name} tavirelle_testing
                          ${ARG_TEST_DEPENDS} GTest::gtest GTest::gmock)
  elseif(TAVIRELLE_BUILD_TESTS AND tests)
    add_executable(${name}_tests ${tests})
    target_link_libraries(${name}_tests PRIVATE tavirelle_${name} tavirelle_testing
                          ${ARG_TEST_DEPENDS} tavirelle_test_main GTest::gmock)
    tavirelle_discover_tests(${name}_tests LABEL ${name} TIMEOUT 300
                             ENVIRONMENT "TZ=${TAVIRELLE_TEST_TIME_ZONE}")
  endif()
endfunction()

# tavirelle_discover_tests(TARGET LABEL label TIMEOUT seconds
#                          [ENVIRONMENT variable=value] [WINE_PREFIX properties...])
#
# Has CTest run each test of the GoogleTest program TARGET on its own, with
# the label, time limit and environment given (under wine in the Windows
# build, in the run's prefix or the one WINE_PREFIX's properties name).
function(tavirelle_discover_tests target)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT;ENVIRONMENT" "WINE_PREFIX" ${ARGN})
  if(NOT ARG_WINE_PREFIX)
    set(ARG_WINE_PREFIX ${TAVIRELLE_WINE_TEST_PROPERTIES})
  endif()
  if(TARGET wine_build_prefix)
    add_dependencies(${target} wine_build_prefix)
  endif()
  set(environment)
  if(ARG_ENVIRONMENT)
    set(environment ENVIRONMENT ${ARG_ENVIRONMENT})
  endif()
  gtest_discover_tests(${target} DISCOVERY_TIMEOUT 120
                       PROPERTIES LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT} ${environment}
                                  ${ARG_WINE_PREFIX})
endfunction()

# tavirelle_system_sources(NAME)
#
# Adds to tavirelle_NAME the folder's side for the system being built for
# (its posix/ or windows/ folder: the layers under everything else, which
# differ between systems by files, never by #ifdef), and that side's own
# *_test.cc files to NAME_tests.
function(tavirelle_system_sources name)
  if(WIN32)
    set(system windows)
  else()
    set(system posix)
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${system}/*.cc)
  file(GLOB tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${system}/*_test.cc)
  if(tests)
    list(REMOVE_ITEM sources ${tests})
    if(TARGET ${name}_tests)
      target_sources(${name}_tests PRIVATE ${tests})
    endif()
  endif()
  target_sources(tavirelle_${name} PRIVATE ${sources})
endfunction()
