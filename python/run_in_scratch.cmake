# Runs a command with a fresh scratch folder for TMPDIR, and removes the
# folder afterwards whatever the outcome, so that a run leaves the build tree
# and the user's temporary folder as it found them. The folder is in the
# build tree, which the module reaches by name whatever TMPDIR holds.
#   cmake -DSCRATCH=folder -P run_in_scratch.cmake COMMAND [ARGUMENTS...]
# The command follows the script's own name on cmake's command line.
set(command)
set(first -1)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(first GREATER_EQUAL 0 AND i GREATER_EQUAL first)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "-P")
    math(EXPR first "${i} + 2")
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "run_in_scratch.cmake: no command given")
endif()
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
set(ENV{TMPDIR} ${SCRATCH})
execute_process(COMMAND ${command} RESULT_VARIABLE status)
file(REMOVE_RECURSE ${SCRATCH})
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${command}: exit status ${status}")
endif()
