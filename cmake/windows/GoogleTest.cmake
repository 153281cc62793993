# GoogleTest for the Windows build: Debian's source of it, compiled with the
# cross compilers (the packaged libraries are built for Linux).
set(TAVIRELLE_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH
    "GoogleTest source tree (Debian package googletest)")
if(NOT EXISTS ${TAVIRELLE_GOOGLETEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "no GoogleTest source in ${TAVIRELLE_GOOGLETEST_SOURCE}: "
                      "install the Debian package googletest (scripts/install-deps)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
add_subdirectory(${TAVIRELLE_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)
