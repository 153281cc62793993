# cmake -DRC=windres -DMODULE=file.dll -DVERSION=x.y.z -P check_module_resources.cmake
#
# Fails unless the module carries a type library as resource 1, string 100
# "TavirelleHelper" and a version resource of VERSION.
cmake_minimum_required(VERSION 3.25)
execute_process(COMMAND ${RC} --input-format=coff --output-format=rc -i ${MODULE}
                RESULT_VARIABLE result OUTPUT_VARIABLE script ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${RC} cannot read the resources of ${MODULE}:\n${errors}")
endif()
string(REPLACE "." ", " version_numbers "${VERSION}")
set(expected
    # "MSFT", the start of a type library
    "\n1 \"TYPELIB\"\nBEGIN\n  0x5446534dL,"
    "\nSTRINGTABLE\nBEGIN\n  100, \"TavirelleHelper\"\nEND\n"
    "\n1 VERSIONINFO\n FILEVERSION ${version_numbers}, 0\n"
    "VALUE \"ProductVersion\", \"${VERSION}\"")
foreach(piece ${expected})
  string(FIND "${script}" "${piece}" found)
  if(found EQUAL -1)
    # The resources without the type library's bytes.
    string(REGEX REPLACE "\n  0x[^\n]*" "" shown "${script}")
    message(FATAL_ERROR "${MODULE} lacks\n${piece}\nIts resources are:\n${shown}")
  endif()
endforeach()
