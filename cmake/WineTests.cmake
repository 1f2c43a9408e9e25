# Test executables are Windows programs: CTest starts each one under Wine (32-bit) on a
# virtual X display. One prefix per build tree, initialised once; one persistent wineserver
# and one Xvfb per run, started and ended by the wine_bench fixture.
set(KVX_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-bench.sh)

function(kvx_enable_gtest)
  if(TARGET gtest)
    return()
  endif()
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endfunction()

# kvx_add_test(NAME SOURCES a.cpp ... [LIBS lib ...] [LOCK resource ...] [WIN32])
# One Wine process per executable: all cases of a suite run in it.
function(kvx_add_test name)
  cmake_parse_arguments(T "WIN32" "" "SOURCES;LIBS;LOCK" ${ARGN})
  kvx_enable_gtest()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  add_test(NAME ${name}
           COMMAND ${KVX_WINE_RUN} test ${CMAKE_BINARY_DIR} $<TARGET_FILE:${name}> --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_bench TIMEOUT 300)
  if(T_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_LOCK}")
  endif()
endfunction()

function(kvx_add_wine_bench_fixture)
  add_test(NAME wine_bench_start COMMAND ${KVX_WINE_RUN} start ${CMAKE_BINARY_DIR})
  add_test(NAME wine_bench_stop COMMAND ${KVX_WINE_RUN} stop ${CMAKE_BINARY_DIR})
  set_tests_properties(wine_bench_start PROPERTIES FIXTURES_SETUP wine_bench TIMEOUT 120)
  set_tests_properties(wine_bench_stop PROPERTIES FIXTURES_CLEANUP wine_bench)
endfunction()
