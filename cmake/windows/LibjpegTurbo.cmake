# libjpeg-turbo for the Windows build, compiled from its upstream source with
# the same cross compilers (its SIMD code with nasm) into a static library.
# Debian ships no build of it for Windows.
#
# The source is pinned by its upstream archive and hash. A machine without
# internet access names a local copy of that same archive in
# TAVIRELLE_LIBJPEG_TURBO_SOURCE; a copy beside the checkout, in
# ../shared/third_party/, is taken when present.
include(ExternalProject)

set(TAVIRELLE_LIBJPEG_TURBO_VERSION 3.1.4.1)
set(TAVIRELLE_LIBJPEG_TURBO_SHA256
    fdf006a630b45b48b1a317bd9ccc1bcc3c270550e6edac1d2d0207ad2cd2c6a6)
set(upstream_archive
    https://github.com/libjpeg-turbo/libjpeg-turbo/archive/refs/tags/${TAVIRELLE_LIBJPEG_TURBO_VERSION}.tar.gz)
get_filename_component(local_archive
    ${PROJECT_SOURCE_DIR}/../shared/third_party/libjpeg-turbo-${TAVIRELLE_LIBJPEG_TURBO_VERSION}.tar.gz
    ABSOLUTE)
if(EXISTS ${local_archive})
  set(default_source ${local_archive})
else()
  set(default_source ${upstream_archive})
endif()
set(TAVIRELLE_LIBJPEG_TURBO_SOURCE ${default_source} CACHE STRING
    "libjpeg-turbo ${TAVIRELLE_LIBJPEG_TURBO_VERSION} source archive: a URL or a local file with the pinned SHA-256")

set(jpeg_prefix ${CMAKE_BINARY_DIR}/third_party/libjpeg-turbo)
set(jpeg_library ${jpeg_prefix}/lib/${CMAKE_STATIC_LIBRARY_PREFIX}jpeg${CMAKE_STATIC_LIBRARY_SUFFIX})
# Its own tests and tools are not needed here: the project's tests check the
# decoder's output byte for byte.
ExternalProject_Add(libjpeg_turbo
  URL ${TAVIRELLE_LIBJPEG_TURBO_SOURCE}
  URL_HASH SHA256=${TAVIRELLE_LIBJPEG_TURBO_SHA256}
  DOWNLOAD_NAME libjpeg-turbo-${TAVIRELLE_LIBJPEG_TURBO_VERSION}.tar.gz
  DOWNLOAD_EXTRACT_TIMESTAMP OFF
  PREFIX ${CMAKE_BINARY_DIR}/third_party/libjpeg-turbo-build
  INSTALL_DIR ${jpeg_prefix}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
    -DCMAKE_BUILD_TYPE=Release
    # Its package-configuration step fails on the default "c:/..." prefix.
    -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR>
    -DCMAKE_INSTALL_LIBDIR=lib
    -DCMAKE_INSTALL_INCLUDEDIR=include
    -DCMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER}
    -DENABLE_SHARED=OFF
    -DENABLE_STATIC=ON
    -DREQUIRE_SIMD=ON
    -DWITH_TURBOJPEG=OFF
    -DWITH_TOOLS=OFF
    -DWITH_TESTS=OFF
  BUILD_BYPRODUCTS ${jpeg_library}
  LOG_CONFIGURE ON
  LOG_BUILD ON
  LOG_INSTALL ON
  LOG_OUTPUT_ON_FAILURE ON)

# The include folder must exist when the imported target is made.
file(MAKE_DIRECTORY ${jpeg_prefix}/include)
add_library(JPEG::JPEG STATIC IMPORTED GLOBAL)
set_target_properties(JPEG::JPEG PROPERTIES
  IMPORTED_LOCATION ${jpeg_library}
  INTERFACE_INCLUDE_DIRECTORIES ${jpeg_prefix}/include)
add_dependencies(JPEG::JPEG libjpeg_turbo)
