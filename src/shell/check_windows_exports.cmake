# Compares the Windows module's export table with its .def file: the same
# names, at the ordinals the file gives them in order, and nothing else.
#
#   cmake -DOBJDUMP=objdump -DMODULE=TavirelleHelper.dll -DEXPORTS_DEF=x.def
#         -P check_windows_exports.cmake
foreach(input OBJDUMP MODULE EXPORTS_DEF)
  if(NOT ${input})
    message(FATAL_ERROR "check_windows_exports: ${input} is not given")
  endif()
endforeach()

file(STRINGS "${EXPORTS_DEF}" def_lines)
set(listed)
set(in_exports FALSE)
foreach(line IN LISTS def_lines)
  string(REGEX REPLACE ";.*" "" line "${line}")
  string(STRIP "${line}" line)
  if(line STREQUAL "EXPORTS")
    set(in_exports TRUE)
  elseif(in_exports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
    list(APPEND listed "${CMAKE_MATCH_1}")
  endif()
endforeach()

execute_process(COMMAND "${OBJDUMP}" -p "${MODULE}"
                OUTPUT_VARIABLE table ERROR_VARIABLE table_error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_windows_exports: ${OBJDUMP} cannot read ${MODULE}: ${table_error}")
endif()
# The name table lists "[ index] Name" under "[Ordinal/Name Pointer] Table",
# index + 1 being the ordinal when the ordinal base is 1.
if(NOT table MATCHES "Ordinal Base[ \t]+1[\r\n]")
  message(FATAL_ERROR "${MODULE}: the export ordinals do not start at 1")
endif()
string(REGEX REPLACE ".*\\[Ordinal/Name Pointer\\] Table" "" names "${table}")
string(REGEX REPLACE "\n[ \t]*\n.*" "" names "${names}")  # the table ends at a blank line
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_]*" entries "${names}")
set(exported)
foreach(entry IN LISTS entries)
  string(REGEX REPLACE "\\[ *[0-9]+\\] " "" name "${entry}")
  list(APPEND exported "${name}")
endforeach()
if(NOT exported STREQUAL listed)
  message(FATAL_ERROR "${MODULE} exports [${exported}], ${EXPORTS_DEF} lists [${listed}]")
endif()
list(LENGTH exported count)
message(STATUS "${MODULE}: ${count} exports, as ${EXPORTS_DEF} lists them")
