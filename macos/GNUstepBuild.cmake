# The macOS sources on Linux against GNUstep base, for the tests only.
# clang++ is required: with g++ a @catch of an NSException in Objective-C++
# crashes in the C++ personality routine. GNUstep's runtime has no ARC.

if(NOT CMAKE_OBJCXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "The GNUstep build needs clang++ as the Objective-C++ compiler")
endif()

find_path(GANTRY_GNUSTEP_INCLUDE_DIR Foundation/Foundation.h
  PATHS /usr/include/GNUstep /usr/local/include/GNUstep /usr/GNUstep/System/Library/Headers
  REQUIRED)
# objc/objc.h of the GNU runtime lies in gcc's include folder.
execute_process(COMMAND gcc -print-file-name=include
  OUTPUT_VARIABLE GANTRY_GCC_INCLUDE_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT EXISTS "${GANTRY_GCC_INCLUDE_DIR}/objc/objc.h")
  message(FATAL_ERROR "objc/objc.h not found under '${GANTRY_GCC_INCLUDE_DIR}' (install gobjc++)")
endif()

# Everything Objective-C on GNUstep links this: the library, the test agent.
add_library(gantry_gnustep_base INTERFACE)
target_compile_options(gantry_gnustep_base INTERFACE
  $<$<COMPILE_LANGUAGE:OBJC,OBJCXX>:-fobjc-runtime=gcc -fobjc-exceptions -fexceptions -fconstant-string-class=NSConstantString>
  "SHELL:-idirafter ${GANTRY_GCC_INCLUDE_DIR}")
target_compile_definitions(gantry_gnustep_base INTERFACE
  GNUSTEP GNUSTEP_BASE_LIBRARY=1 GNU_RUNTIME=1 _NATIVE_OBJC_EXCEPTIONS)
target_include_directories(gantry_gnustep_base SYSTEM INTERFACE "${GANTRY_GNUSTEP_INCLUDE_DIR}")
target_link_libraries(gantry_gnustep_base INTERFACE gnustep-base objc)

# The stand-in programs and the configuration the tests write live here.
set(GANTRY_TEST_STAGE "${CMAKE_BINARY_DIR}/tests/macos/stage")

add_library(Gantry SHARED ${GANTRY_MACOS_SOURCES}
  "${PROJECT_SOURCE_DIR}/tests/macos/PlatformServicesStandIn.mm")
add_dependencies(Gantry gantry_java_header)
set_target_properties(Gantry PROPERTIES
  OUTPUT_NAME Gantry
  CXX_VISIBILITY_PRESET hidden
  OBJCXX_VISIBILITY_PRESET hidden)
target_include_directories(Gantry PRIVATE
  "${CMAKE_CURRENT_SOURCE_DIR}"
  "${GANTRY_JNI_HEADER_DIR}"
  "${GANTRY_JDK_INCLUDE_DIR}"
  "${GANTRY_JDK_INCLUDE_DIR}/linux")
# The product's program paths, moved under the test stage in this build only.
target_compile_definitions(Gantry PRIVATE
  "GANTRY_PROGRAM_PREFIX=\"${GANTRY_TEST_STAGE}\""
  "GANTRY_TEST_STAGE=\"${GANTRY_TEST_STAGE}\"")
target_compile_options(Gantry PRIVATE -Wall -Wextra)
target_link_libraries(Gantry PRIVATE gantry_gnustep_base "-Wl,--no-undefined")
