# Helpers shared by the folders' CMakeLists.

if(NOT WIN32)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

# klvps_test(<subsystem> <sources...>): one GoogleTest program per subsystem,
# its cases named "<subsystem>.<Suite>.<Case>" in CTest.
function(klvps_test subsystem)
  if(WIN32)
    return()
  endif()
  set(target ${subsystem}_test)
  add_executable(${target} ${ARGN})
  target_link_libraries(${target} PRIVATE klvps_core klvps_testing GTest::gtest_main)
  gtest_discover_tests(${target} TEST_PREFIX "${subsystem}." DISCOVERY_MODE PRE_TEST
                       PROPERTIES ENVIRONMENT "KLVPS_SOURCE_DIR=${PROJECT_SOURCE_DIR};KLVPS_BINARY_DIR=${PROJECT_BINARY_DIR}")
endfunction()

# klvps_bench(<name> <sources...>): a Google Benchmark program, built on hosts
# that have the library; it is run by hand, not as a test.
function(klvps_bench name)
  if(WIN32)
    return()
  endif()
  find_package(benchmark QUIET)
  if(benchmark_FOUND)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE klvps_core benchmark::benchmark_main)
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
