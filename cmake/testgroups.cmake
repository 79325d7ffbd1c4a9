# Run after a test program is built (cmake -P): lists its tests and writes the
# ctest entries for them to OUT. Each test suite is one entry, all its tests in
# one process: starting a Qt program costs more than most tests themselves.
# The suites named in SPLIT (their tests each wait seconds on a reader, a
# restart or a program) get an entry a test, so that they spread over the
# cores, and are started first. ALONE names suites whose tests run with no
# other test beside them (they need what the whole display shares: the
# keyboard focus). A test switched off in its source (DISABLED_) gets an entry
# that ctest lists as disabled.
#
# Variables: PROGRAM, OUT, SPLIT and ALONE (suite names separated by commas),
# ENVIRONMENT (one NAME=value), WORKING_DIRECTORY.

cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" split "${SPLIT}")
string(REPLACE "," ";" alone "${ALONE}")
execute_process(COMMAND "${PROGRAM}" --gtest_list_tests
                WORKING_DIRECTORY "${WORKING_DIRECTORY}"
                OUTPUT_VARIABLE listing ERROR_QUIET RESULT_VARIABLE result TIMEOUT 30)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} --gtest_list_tests failed: ${result}\n${listing}")
endif()

set(suites "")
string(REPLACE "\n" ";" lines "${listing}")
foreach(line IN LISTS lines)
  string(REGEX REPLACE " *#.*" "" line "${line}") # "# GetParam() = ..." after a name
  if(line MATCHES "^([^ ].*)\\.$")
    set(suite "${CMAKE_MATCH_1}")
    list(APPEND suites "${suite}")
    set(tests_${suite} "")
  elseif(line MATCHES "^  (.+)$")
    list(APPEND "tests_${suite}" "${CMAKE_MATCH_1}")
  endif()
endforeach()

set(content "")
function(entry name filter)
  list(JOIN ARGN " " properties)
  string(APPEND content "add_test([==[${name}]==] [==[${PROGRAM}]==] [==[--gtest_filter=${filter}]==])\n"
         "set_tests_properties([==[${name}]==] PROPERTIES WORKING_DIRECTORY [==[${WORKING_DIRECTORY}]==]"
         " ENVIRONMENT [==[${ENVIRONMENT}]==] ${properties})\n")
  set(content "${content}" PARENT_SCOPE)
endfunction()

foreach(suite IN LISTS suites)
  set(extra "")
  if(suite IN_LIST alone)
    set(extra RUN_SERIAL TRUE)
  endif()
  set(enabled "")
  foreach(test IN LISTS tests_${suite})
    if(test MATCHES "^DISABLED_" OR suite MATCHES "^DISABLED_")
      string(REGEX REPLACE "^DISABLED_" "" shown "${test}")
      entry("${suite}.${shown}" "${suite}.${test}" DISABLED TRUE)
    else()
      list(APPEND enabled "${test}")
    endif()
  endforeach()
  if(NOT enabled)
    continue()
  endif()
  if(suite IN_LIST split)
    foreach(test IN LISTS enabled)
      entry("${suite}.${test}" "${suite}.${test}" ${extra} COST 1000
            SKIP_REGULAR_EXPRESSION "[==[\\[  SKIPPED \\]]==]")
    endforeach()
  else()
    entry("${suite}.*" "${suite}.*" ${extra})
  endif()
endforeach()
file(WRITE "${OUT}" "${content}")
