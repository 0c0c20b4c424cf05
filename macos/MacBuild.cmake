# libGantry.jnilib on a Mac: one universal file whose slices, oldest macOS and
# C++ library come from the configure preset:
#   macos            x86_64 + i386, macOS 10.6, libstdc++. Needs Xcode 9.4 or
#                    older: later SDKs have no i386, and Xcode 10 removed
#                    libstdc++, which is what 10.6 has.
#   macos-universal  x86_64 + arm64, libc++, macOS 10.13 for x86_64. A JVM on
#                    Apple silicon loads only an arm64 slice. clang raises the
#                    arm64 slice's deployment target to 11.0 itself, the first
#                    macOS for Apple silicon; the tests check both slices.
# Both build the same sources; nothing in them depends on the slice.

if(NOT APPLE)
  message(FATAL_ERROR "The macos presets build on a Mac with Xcode; on Linux the gnustep preset builds and tests the same sources.")
endif()
if(NOT CMAKE_OSX_ARCHITECTURES OR NOT CMAKE_OSX_DEPLOYMENT_TARGET)
  message(FATAL_ERROR "Configure the Mac build with a preset: cmake --preset macos-universal "
    "(current Xcode) or cmake --preset macos (Xcode 9.4 or older)")
endif()
if(NOT GANTRY_MACOS_STDLIB)
  if(CMAKE_OSX_DEPLOYMENT_TARGET VERSION_LESS 10.9)
    set(GANTRY_MACOS_STDLIB libstdc++)
  else()
    set(GANTRY_MACOS_STDLIB libc++)
  endif()
endif()
if("arm64" IN_LIST CMAKE_OSX_ARCHITECTURES AND NOT GANTRY_MACOS_STDLIB STREQUAL "libc++")
  message(FATAL_ERROR "An arm64 slice needs libc++ (GANTRY_MACOS_STDLIB is ${GANTRY_MACOS_STDLIB})")
endif()
message(STATUS "libGantry.jnilib: ${CMAKE_OSX_ARCHITECTURES}, macOS ${CMAKE_OSX_DEPLOYMENT_TARGET} and later, ${GANTRY_MACOS_STDLIB}")

add_library(Gantry SHARED ${GANTRY_MACOS_SOURCES} PlatformServicesMac.mm)
add_dependencies(Gantry gantry_java_header)
set_target_properties(Gantry PROPERTIES
  OUTPUT_NAME Gantry
  PREFIX "lib"
  SUFFIX ".jnilib"
  CXX_VISIBILITY_PRESET hidden
  OBJCXX_VISIBILITY_PRESET hidden)
target_include_directories(Gantry PRIVATE
  "${CMAKE_CURRENT_SOURCE_DIR}"
  "${GANTRY_JNI_HEADER_DIR}"
  "${GANTRY_JDK_INCLUDE_DIR}"
  "${GANTRY_JDK_INCLUDE_DIR}/darwin")
# Manual retain/release; Objective-C exceptions are caught inside each operation.
# The NSFileManager, NSTask, NSWorkspace and LaunchServices calls are the
# 10.6-era ones, deprecated in later SDKs but still there.
target_compile_options(Gantry PRIVATE
  "-stdlib=${GANTRY_MACOS_STDLIB}"
  $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-exceptions -fno-objc-arc -Wno-deprecated-declarations>)
target_link_options(Gantry PRIVATE "-stdlib=${GANTRY_MACOS_STDLIB}")
target_link_libraries(Gantry PRIVATE
  "-framework Foundation"
  "-framework AppKit"
  "-framework CoreServices"
  "-Wl,-dead_strip_dylibs")

# ctest on the Mac: the Java smoke run, the exports of every slice, and the
# slices, their oldest macOS and the libraries they link.
include("${PROJECT_SOURCE_DIR}/tests/macos/SmokeRun.cmake")
foreach(arch IN LISTS CMAKE_OSX_ARCHITECTURES)
  add_test(NAME macos.ExportedSymbols.${arch}
    COMMAND "${CMAKE_COMMAND}" "-DLIBRARY=$<TARGET_FILE:Gantry>" "-DARCH=${arch}"
      -P "${PROJECT_SOURCE_DIR}/tests/macos/CheckExports.cmake")
endforeach()
add_test(NAME macos.Slices
  COMMAND "${CMAKE_COMMAND}" "-DLIBRARY=$<TARGET_FILE:Gantry>" "-DARCHITECTURES=${CMAKE_OSX_ARCHITECTURES}"
    "-DDEPLOYMENT_TARGET=${CMAKE_OSX_DEPLOYMENT_TARGET}"
    -P "${PROJECT_SOURCE_DIR}/tests/macos/CheckMacSlices.cmake")
