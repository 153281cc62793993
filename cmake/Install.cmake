# What `cmake --install build --prefix P` lays out, for any P and movable
# afterwards (nothing installed names P itself):
#
#   bin/tavirelle                      RUNPATH $ORIGIN/../lib
#   lib/libTavirelleHelper.so.1        and the libTavirelleHelper.so link
#   include/tavirelle/                 the public headers
#   lib/cmake/TavirelleHelper/         find_package(TavirelleHelper), target
#                                      TavirelleHelper::TavirelleHelper
#   lib/pkgconfig/tavirelle.pc         pkg-config --cflags --libs tavirelle
#   share/tavirelle/                   default style template, sample config.xml,
#                                      sample-photos/
#   share/man/man1/tavirelle.1         the manual page
#   share/bash-completion/completions/tavirelle
#
# The module and the command find share/tavirelle/ from their own location
# (src/platform/host.h), so the data folder is always the sibling of bin/
# and lib/. Tests and test doubles are never installed.
include(CMakePackageConfigHelpers)

set(TAVIRELLE_DATA_DESTINATION ${CMAKE_INSTALL_DATADIR}/tavirelle)
set(TAVIRELLE_CMAKE_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/TavirelleHelper)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/tavirelle
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} FILES_MATCHING PATTERN "*.h")

install(FILES ${PROJECT_SOURCE_DIR}/templates/base_meta.xml
              ${PROJECT_SOURCE_DIR}/templates/config.xml
        DESTINATION ${TAVIRELLE_DATA_DESTINATION})
install(FILES ${sample_photos} DESTINATION ${TAVIRELLE_DATA_DESTINATION}/sample-photos)

install(FILES ${PROJECT_SOURCE_DIR}/docs/tavirelle.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/share/bash-completion/completions/tavirelle
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The CMake package: the exported module target and a version file that
# accepts any 1.x request.
install(EXPORT TavirelleHelperTargets NAMESPACE TavirelleHelper::
        DESTINATION ${TAVIRELLE_CMAKE_DESTINATION})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/TavirelleHelperConfig.cmake.in
  ${PROJECT_BINARY_DIR}/TavirelleHelperConfig.cmake
  INSTALL_DESTINATION ${TAVIRELLE_CMAKE_DESTINATION}
  PATH_VARS TAVIRELLE_DATA_DESTINATION)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TavirelleHelperConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TavirelleHelperConfig.cmake
              ${PROJECT_BINARY_DIR}/TavirelleHelperConfigVersion.cmake
        DESTINATION ${TAVIRELLE_CMAKE_DESTINATION})

# pkg-config: every folder is found from the .pc file's own place.
set(pc_destination ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/tavirelle.pc.in ${PROJECT_BINARY_DIR}/tavirelle.pc
               @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/tavirelle.pc DESTINATION ${pc_destination})

# The Debian package: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME tavirelle)
set(CPACK_PACKAGE_VENDOR "TavirelleHelper developers")
set(CPACK_PACKAGE_CONTACT "TavirelleHelper developers <tavirelle@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "slide-show authoring and packaging component, its command and SDK")
# One text: set() with several would join them with semicolons.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "libTavirelleHelper.so, an in-process component that authors slide shows from photos, "
    "packs them into one package file and reads packages back, with the tavirelle command, "
    "the public headers, a CMake package and a pkg-config file for hosts, the default style "
    "template and sample photos.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# Declared rather than computed, so that the package says the same on every
# build machine; these are the libraries the module and the command load.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libgcc-s1, libstdc++6 (>= 12), libjpeg62-turbo (>= 1:2.0)")
# A shlibs file and the ldconfig trigger, as for any shared library package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
include(CPack)
