# Our own targets compile with warnings as errors; third-party code is never built here.
function(qm_target_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX /permissive- /utf-8)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Werror)
  endif()
endfunction()

# qm_library(name SOURCES ... DEPS ...) : a static core library under src/.
function(qm_library name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${A_DEPS})
  qm_target_warnings(${name})
endfunction()

# qm_test(name SOURCES ... DEPS ... [LABELS label]) : one GoogleTest executable registered with CTest.
function(qm_test name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} qm_testsupport GTest::gtest GTest::gmock GTest::gtest_main)
  qm_target_warnings(${name})
  # One label only: gtest_discover_tests would split a list into separate property names.
  list(LENGTH A_LABELS count)
  if(count GREATER 1)
    message(FATAL_ERROR "qm_test(${name}): give one label, not ${A_LABELS}")
  endif()
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine) each start costs much; one test per program, not per case.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${A_LABELS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${A_LABELS}")
  endif()
endfunction()

# qm_benchmark(name SOURCES ... DEPS ...) : a Google Benchmark executable (not a test).
function(qm_benchmark name)
  cmake_parse_arguments(A "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_link_libraries(${name} PRIVATE ${A_DEPS} benchmark::benchmark)
  qm_target_warnings(${name})
endfunction()
