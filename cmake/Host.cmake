# The portable core on the build machine: unit tests under AddressSanitizer
# and UndefinedBehaviorSanitizer, one program per tests/core/*_test.cpp.

find_package(GTest REQUIRED)
include(GoogleTest)

set(_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)

file(GLOB GANTRY_CORE_SOURCES CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/boundary/core/*.cpp"
  "${PROJECT_SOURCE_DIR}/windows/*/core/*.cpp")
add_library(gantry_core STATIC ${GANTRY_CORE_SOURCES})
target_include_directories(gantry_core PUBLIC "${PROJECT_SOURCE_DIR}")
target_compile_options(gantry_core PUBLIC ${_sanitizers} -Wall -Wextra)
target_link_options(gantry_core PUBLIC ${_sanitizers})

file(GLOB _test_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/core/*_test.cpp")
foreach(_source IN LISTS _test_sources)
  get_filename_component(_name "${_source}" NAME_WE)
  add_executable(${_name} "${_source}")
  target_link_libraries(${_name} PRIVATE gantry_core GTest::gtest_main)
  gtest_discover_tests(${_name} DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
endforeach()

file(GLOB _bench_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/bench/*_bench.cpp")
find_package(benchmark QUIET)
if(benchmark_FOUND)
  foreach(_source IN LISTS _bench_sources)
    get_filename_component(_name "${_source}" NAME_WE)
    add_executable(${_name} "${_source}")
    target_link_libraries(${_name} PRIVATE gantry_core benchmark::benchmark_main)
  endforeach()
endif()
