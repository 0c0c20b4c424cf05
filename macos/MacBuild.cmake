# libGantry.jnilib: one universal file for 64-bit and 32-bit Intel that loads
# on macOS 10.6 and later. The i386 slice needs an SDK that still has it
# (macOS 10.13 or older, Xcode 9.4 or older).

set(CMAKE_OSX_DEPLOYMENT_TARGET 10.6)

add_library(Gantry SHARED ${GANTRY_MACOS_SOURCES} PlatformServicesMac.mm)
add_dependencies(Gantry gantry_java_header)
set_target_properties(Gantry PROPERTIES
  OUTPUT_NAME Gantry
  PREFIX "lib"
  SUFFIX ".jnilib"
  OSX_ARCHITECTURES "x86_64;i386"
  CXX_VISIBILITY_PRESET hidden
  OBJCXX_VISIBILITY_PRESET hidden)
target_include_directories(Gantry PRIVATE
  "${CMAKE_CURRENT_SOURCE_DIR}"
  "${GANTRY_JNI_HEADER_DIR}"
  "${GANTRY_JDK_INCLUDE_DIR}"
  "${GANTRY_JDK_INCLUDE_DIR}/darwin")
# Manual retain/release; Objective-C exceptions are caught inside each operation.
# The Part's NSFileManager calls are the 10.6-era ones, deprecated later.
target_compile_options(Gantry PRIVATE
  $<$<COMPILE_LANGUAGE:OBJCXX>:-fobjc-exceptions -fno-objc-arc -Wno-deprecated-declarations>)
target_link_libraries(Gantry PRIVATE
  "-framework Foundation"
  "-framework AppKit"
  "-framework CoreServices"
  "-Wl,-dead_strip_dylibs")
