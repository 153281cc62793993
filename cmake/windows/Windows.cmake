# The Windows build (preset "windows"): the same sources cross-compiled with
# mingw-w64, and tests run under wine.
#
# The platform layer (src/platform, src/com) has no Windows implementation
# yet. Until it has, this build compiles every subsystem library and test
# file but those listed in TAVIRELLE_WINDOWS_PENDING_SOURCES, links and runs
# the tests of the subsystems in TAVIRELLE_WINDOWS_TESTED_SUBSYSTEMS (none
# link without the platform layer), and builds and tests the type library
# and the module's resources (tests/type_library).
include(${CMAKE_CURRENT_LIST_DIR}/LibjpegTurbo.cmake)
find_package(Threads REQUIRED)
enable_language(RC)
if(TAVIRELLE_BUILD_TESTS)
  include(${CMAKE_CURRENT_LIST_DIR}/GoogleTest.cmake)
  enable_testing()
  include(${CMAKE_CURRENT_LIST_DIR}/WineTests.cmake)
endif()

# Sources that cannot compile for Windows yet, and why:
# - platform/*: the Linux implementations of the platform layer (POSIX files,
#   errno, getrandom, dlopen, signals), which the Windows port replaces;
# - com/dynamic_module.cc: dlopen, likewise;
# - util/parallel.cc: sched_getaffinity (Linux only);
# - testing/temp_dir.cc: mkdtemp (POSIX only);
# - testing/file_times.cc: utimensat; testing/scoped_environment.cc: setenv;
#   testing/run_command.cc: fork, pipes and poll (it runs the command, which
#   this build does not make yet);
# - api/package_api.cc: realpath and lstat, to refuse links out of a folder;
# - com/registry_test.cc, shell/module_test.cc: setenv/unsetenv;
# - shell/host_contract_test.cc: loads the module, which this build does not
#   make yet;
# - platform/copy_and_move_test.cc: the POSIX file system's system calls;
# - package/show_package_test.cc: lstat and symlink;
# - platform/file_system_test.cc: mkdir with a mode.
set(TAVIRELLE_WINDOWS_PENDING_SOURCES
    platform/file_system.cc platform/guid.cc platform/host.cc platform/last_error.cc
    platform/partial_files.cc com/dynamic_module.cc util/parallel.cc
    testing/temp_dir.cc testing/file_times.cc testing/scoped_environment.cc
    testing/run_command.cc api/package_api.cc com/registry_test.cc shell/module_test.cc
    package/show_package_test.cc platform/file_system_test.cc shell/host_contract_test.cc
    platform/copy_and_move_test.cc)
set(TAVIRELLE_WINDOWS_TESTED_SUBSYSTEMS "" CACHE STRING
    "Subsystems whose test programs the Windows build links and runs under wine")

# The command (src/cli) is a later step of the port.
foreach(subsystem ${TAVIRELLE_SUBSYSTEMS} testing)
  if(NOT subsystem STREQUAL "cli")
    add_subdirectory(src/${subsystem})
  endif()
endforeach()
if(TAVIRELLE_BUILD_TESTS)
  add_subdirectory(tests/type_library)
endif()
