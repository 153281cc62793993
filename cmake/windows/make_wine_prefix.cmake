# cmake -DWINE_RUN=... -DPREFIX=... -P make_wine_prefix.cmake
#
# Makes a fresh wine prefix for one test run, so that no run sees what an
# earlier one registered or wrote.
file(REMOVE_RECURSE ${PREFIX})
set(ENV{TAVIRELLE_WINEPREFIX} ${PREFIX})
execute_process(COMMAND ${WINE_RUN} wineboot -i RESULT_VARIABLE result
                OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0 OR NOT EXISTS ${PREFIX}/drive_c/windows/system32)
  message(FATAL_ERROR "wineboot -i could not make the wine prefix ${PREFIX} "
                      "(status ${result}):\n${output}")
endif()
