# Runs the Windows build's programs under wine.
#
# Test programs are listed (gtest_discover_tests) while they are built, in a
# prefix of the build's own; a test run gets a fresh prefix of its own, made
# by the fixture test wine.prefix and whose server wine.prefix.stop ends.
find_program(TAVIRELLE_WINE wine REQUIRED)
find_program(TAVIRELLE_WINESERVER wineserver REQUIRED)

set(TAVIRELLE_BUILD_WINEPREFIX ${CMAKE_BINARY_DIR}/wine/build-prefix)
set(TAVIRELLE_TEST_WINEPREFIX ${CMAKE_BINARY_DIR}/wine/test-prefix)
set(TAVIRELLE_WINE_RUN ${CMAKE_BINARY_DIR}/wine/wine-run)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${TAVIRELLE_WINE_RUN} @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                                GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# Every target's programs run through it (the toolchain's plain wine would
# use the user's prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR ${TAVIRELLE_WINE_RUN})

# Made once, before the first test program is listed: wine would make it on
# first use anyway, but two programs listed at once would race to do it.
add_custom_command(OUTPUT ${TAVIRELLE_BUILD_WINEPREFIX}/system.reg
  COMMAND ${TAVIRELLE_WINE_RUN} wineboot -i
  COMMENT "Making the wine prefix that lists the test programs"
  VERBATIM)
add_custom_target(wine_build_prefix DEPENDS ${TAVIRELLE_BUILD_WINEPREFIX}/system.reg)

add_test(NAME wine.prefix
         COMMAND ${CMAKE_COMMAND} -DWINE_RUN=${TAVIRELLE_WINE_RUN}
                 -DPREFIX=${TAVIRELLE_TEST_WINEPREFIX}
                 -P ${CMAKE_CURRENT_LIST_DIR}/make_wine_prefix.cmake)
add_test(NAME wine.prefix.stop
         COMMAND ${CMAKE_COMMAND} -DWINESERVER=${TAVIRELLE_WINESERVER}
                 -DPREFIX=${TAVIRELLE_TEST_WINEPREFIX}
                 -P ${CMAKE_CURRENT_LIST_DIR}/stop_wine_prefix.cmake)
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine_prefix LABELS wine)
set_tests_properties(wine.prefix.stop PROPERTIES FIXTURES_CLEANUP wine_prefix LABELS wine)
# What every test run under wine carries (a modification, so that a test's
# own ENVIRONMENT stays as it is).
set(TAVIRELLE_WINE_TEST_PROPERTIES
    FIXTURES_REQUIRED wine_prefix
    ENVIRONMENT_MODIFICATION TAVIRELLE_WINEPREFIX=set:${TAVIRELLE_TEST_WINEPREFIX})

# tavirelle_own_wine_prefix(NAME VARIABLE)
#
# A fresh prefix of its own, for tests that change what the other tests
# would see in theirs (registering and unregistering the type library),
# made and ended like the run's prefix; VARIABLE receives the properties
# its tests carry in place of TAVIRELLE_WINE_TEST_PROPERTIES.
function(tavirelle_own_wine_prefix name variable)
  set(prefix ${CMAKE_BINARY_DIR}/wine/${name}-prefix)
  add_test(NAME wine.prefix.${name}
           COMMAND ${CMAKE_COMMAND} -DWINE_RUN=${TAVIRELLE_WINE_RUN} -DPREFIX=${prefix}
                   -P ${TAVIRELLE_WINDOWS_CMAKE_DIR}/make_wine_prefix.cmake)
  add_test(NAME wine.prefix.${name}.stop
           COMMAND ${CMAKE_COMMAND} -DWINESERVER=${TAVIRELLE_WINESERVER} -DPREFIX=${prefix}
                   -P ${TAVIRELLE_WINDOWS_CMAKE_DIR}/stop_wine_prefix.cmake)
  set_tests_properties(wine.prefix.${name} PROPERTIES
                       FIXTURES_SETUP wine_prefix_${name} LABELS wine)
  set_tests_properties(wine.prefix.${name}.stop PROPERTIES
                       FIXTURES_CLEANUP wine_prefix_${name} LABELS wine)
  set(${variable} FIXTURES_REQUIRED wine_prefix_${name}
      ENVIRONMENT_MODIFICATION TAVIRELLE_WINEPREFIX=set:${prefix} PARENT_SCOPE)
endfunction()

# tavirelle_check_imports(TARGET...)
#
# Tests that each program or module imports only DLLs every Windows has
# (the compilers' runtime is linked in, see the toolchain file).
function(tavirelle_check_imports)
  foreach(target ${ARGN})
    add_test(NAME ${target}.imports
             COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DFILE=$<TARGET_FILE:${target}>
                     -P ${TAVIRELLE_WINDOWS_CMAKE_DIR}/check_imports.cmake)
    set_tests_properties(${target}.imports PROPERTIES LABELS windows)
  endforeach()
endfunction()
set(TAVIRELLE_WINDOWS_CMAKE_DIR ${CMAKE_CURRENT_LIST_DIR})
