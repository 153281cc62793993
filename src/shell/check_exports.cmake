# Compares the module's dynamic symbol table with its public list of exports
# (the version script): fails naming every defined export that is not on the
# list, and every name on the list that the module does not export.
#
#   cmake -DNM=nm -DMODULE=libTavirelleHelper.so -DEXPORTS_MAP=exports.map
#         -P check_exports.cmake
foreach(input NM MODULE EXPORTS_MAP)
  if(NOT ${input})
    message(FATAL_ERROR "check_exports: ${input} is not given")
  endif()
endforeach()

file(READ "${EXPORTS_MAP}" map)
string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" map "${map}")
if(NOT map MATCHES "global:(.*)local:")
  message(FATAL_ERROR "check_exports: ${EXPORTS_MAP} has no global: section before local:")
endif()
set(global_section "${CMAKE_MATCH_1}")
if(global_section MATCHES "[*?[]")
  # A pattern would let names through that nobody listed.
  message(FATAL_ERROR "check_exports: ${EXPORTS_MAP} exports by pattern; list each name")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" public "${global_section}")
list(SORT public)

execute_process(COMMAND "${NM}" -D --defined-only "${MODULE}"
                OUTPUT_VARIABLE table ERROR_VARIABLE table_error RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "check_exports: ${NM} cannot read ${MODULE}: ${table_error}")
endif()
# Lines are "VALUE TYPE NAME", the name possibly with "@VERSION".
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(exported)
foreach(line IN LISTS lines)
  if(line MATCHES "([^ \t@]+)(@[^ \t]*)?[ \t]*$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES exported)
list(SORT exported)

set(strays ${exported})
list(REMOVE_ITEM strays ${public})
set(missing ${public})
list(REMOVE_ITEM missing ${exported})
set(problems)
foreach(name IN LISTS strays)
  string(APPEND problems "\n  exported but not public: ${name}")
endforeach()
foreach(name IN LISTS missing)
  string(APPEND problems "\n  public but not exported: ${name}")
endforeach()
if(problems)
  message(FATAL_ERROR "${MODULE} does not export exactly the names of ${EXPORTS_MAP}:${problems}")
endif()
list(LENGTH exported count)
message(STATUS "${MODULE}: ${count} exports, all public")
