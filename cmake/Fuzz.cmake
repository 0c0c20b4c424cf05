# The portable core under libFuzzer with AddressSanitizer and
# UndefinedBehaviorSanitizer: one fuzzer program per tests/fuzz/*_fuzz.cpp.
# tools/fuzz.sh builds this tree and runs the programs.

if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The fuzz build needs clang (libFuzzer); CMAKE_CXX_COMPILER is ${CMAKE_CXX_COMPILER}")
endif()

set(_checks -fno-sanitize-recover=all -fno-omit-frame-pointer)

file(GLOB _core_sources CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/boundary/core/*.cpp"
  "${PROJECT_SOURCE_DIR}/windows/*/core/*.cpp")
add_library(gantry_core_fuzz STATIC ${_core_sources})
target_include_directories(gantry_core_fuzz PUBLIC "${PROJECT_SOURCE_DIR}")
target_compile_options(gantry_core_fuzz PRIVATE -fsanitize=fuzzer-no-link,address,undefined ${_checks} -Wall -Wextra)

file(GLOB _fuzz_sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp")
foreach(_source IN LISTS _fuzz_sources)
  get_filename_component(_name "${_source}" NAME_WE)
  add_executable(${_name} "${_source}")
  target_compile_options(${_name} PRIVATE -fsanitize=fuzzer,address,undefined ${_checks} -Wall -Wextra)
  target_link_options(${_name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${_name} PRIVATE gantry_core_fuzz)
endforeach()
