# cmake -DWINESERVER=... -DPREFIX=... -P stop_wine_prefix.cmake
#
# Ends the wine server of a test run's prefix and waits until it is gone, so
# that nothing of the run outlives it. A server that already ended on its
# own is fine.
set(ENV{WINEPREFIX} ${PREFIX})
execute_process(COMMAND ${WINESERVER} -k OUTPUT_QUIET ERROR_QUIET)
execute_process(COMMAND ${WINESERVER} -w RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the wine server of ${PREFIX} did not end (status ${result})")
endif()
