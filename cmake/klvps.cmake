# Helpers shared by the folders' CMakeLists.

enable_testing()
if(NOT WIN32)
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# klvps_test(<subsystem> [LABEL <label>] <sources...>): one GoogleTest
# program per subsystem, its cases named "<subsystem>.<Suite>.<Case>" in
# CTest. Without LABEL, suites named "...InInterpreter" (they run
# Ghostscript) get the label "gs" and all others "unit"; with LABEL every
# case gets that label.
function(klvps_test subsystem)
  if(WIN32)
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "LABEL" "")
  set(target ${subsystem}_test)
  add_executable(${target} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${target} PRIVATE klvps_core klvps_testing GTest::gtest_main)
  if(arg_LABEL)
    gtest_discover_tests(${target} TEST_PREFIX "${subsystem}." DISCOVERY_MODE PRE_TEST
                         PROPERTIES LABELS ${arg_LABEL})
  else()
    gtest_discover_tests(${target} TEST_PREFIX "${subsystem}." DISCOVERY_MODE PRE_TEST TEST_FILTER "-*InInterpreter.*"
                         PROPERTIES LABELS unit)
    gtest_discover_tests(${target} TEST_PREFIX "${subsystem}." DISCOVERY_MODE PRE_TEST TEST_FILTER "*InInterpreter.*"
                         PROPERTIES LABELS gs)
  endif()
endfunction()

# klvps_bench(<name> <sources...>): a Google Benchmark program, built on hosts
# that have the library; it is run by hand, not as a test. It links the test
# doubles, so a benchmark measures the same device its tests use.
function(klvps_bench name)
  if(WIN32)
    return()
  endif()
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE klvps_core klvps_testing benchmark::benchmark_main)
  endif()
endfunction()

# The project's version as four numbers, for the DLL's version resource and
# the check that reads it back.
foreach(part MAJOR MINOR PATCH TWEAK)
  if("${PROJECT_VERSION_${part}}" STREQUAL "")
    set(KLVPS_VERSION_${part} 0)
  else()
    set(KLVPS_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()
set(KLVPS_VERSION_TEXT "${KLVPS_VERSION_MAJOR}.${KLVPS_VERSION_MINOR}.${KLVPS_VERSION_PATCH}.${KLVPS_VERSION_TWEAK}")
set(KLVPS_VERSION_COMMAS "${KLVPS_VERSION_MAJOR},${KLVPS_VERSION_MINOR},${KLVPS_VERSION_PATCH},${KLVPS_VERSION_TWEAK}")
