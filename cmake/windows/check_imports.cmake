# cmake -DOBJDUMP=objdump -DFILE=program.exe -P check_imports.cmake
#
# Fails when FILE imports a DLL that is not part of every Windows, such as
# the compilers' libwinpthread-1.dll or libstdc++-6.dll.
cmake_minimum_required(VERSION 3.25)
set(system_dlls advapi32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll
                shell32.dll shlwapi.dll user32.dll version.dll)
execute_process(COMMAND ${OBJDUMP} -p ${FILE} RESULT_VARIABLE result
                OUTPUT_VARIABLE headers ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${FILE}:\n${errors}")
endif()
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "${FILE} lists no imported DLL")
endif()
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(STRIP "${dll}" dll)
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls)
    message(FATAL_ERROR "${FILE} imports ${dll}, which not every Windows has")
  endif()
endforeach()
