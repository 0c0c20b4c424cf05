# Gantry.dll for one Windows architecture, the command-line driver, the test
# client program and the Wine test bench.

if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  set(GANTRY_ARCH x64)
  set(_subsystem 5.02)
  set(_os_major 5)
  set(_os_minor 2)
else()
  set(GANTRY_ARCH x86)
  set(_subsystem 5.01)
  set(_os_major 5)
  set(_os_minor 1)
endif()

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/bin")

# Everything the project builds for Windows: XP headers, static runtime, XP
# header fields in the PE image, reproducible output.
add_library(gantry_windows_settings INTERFACE)
target_compile_definitions(gantry_windows_settings INTERFACE
  _WIN32_WINNT=0x0501 WINVER=0x0501 UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
target_compile_options(gantry_windows_settings INTERFACE -Wall -Wextra)
target_link_options(gantry_windows_settings INTERFACE
  -static -static-libgcc -static-libstdc++
  -Wl,--no-insert-timestamp
  -Wl,--major-os-version,${_os_major} -Wl,--minor-os-version,${_os_minor})
# The subsystem version is what Windows XP checks before it loads an image.
add_library(gantry_gui_pe_settings INTERFACE)
target_link_options(gantry_gui_pe_settings INTERFACE -Wl,--subsystem,windows:${_subsystem})
add_library(gantry_console_exe_settings INTERFACE)
target_link_options(gantry_console_exe_settings INTERFACE -Wl,--subsystem,console:${_subsystem})

set(GANTRY_SYSTEM_LIBRARIES user32 advapi32 shell32 shlwapi version msi setupapi)

# The portable core: no platform headers, also built natively for unit tests.
file(GLOB GANTRY_CORE_SOURCES CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/boundary/core/*.cpp"
  "${PROJECT_SOURCE_DIR}/windows/*/core/*.cpp")
add_library(gantry_core STATIC ${GANTRY_CORE_SOURCES})
target_include_directories(gantry_core PUBLIC "${PROJECT_SOURCE_DIR}")
target_link_libraries(gantry_core PUBLIC gantry_windows_settings)

# The JNI headers: jni.h of the JDK with the project's own Windows jni_md.h.
# The JDK's include/linux is never on this path: its jlong is a 32-bit long here.
add_library(gantry_jni INTERFACE)
target_include_directories(gantry_jni INTERFACE
  "${PROJECT_SOURCE_DIR}/boundary/jni/windows" "${GANTRY_JDK_INCLUDE_DIR}" "${GANTRY_JNI_HEADER_DIR}")
add_dependencies(gantry_jni gantry_java_header)

# The Win32 shell of every operation. An object library, so the library's
# load-time registration is linked whether or not an export refers to it.
file(GLOB GANTRY_WINDOWS_SOURCES CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/boundary/*.cpp"
  "${PROJECT_SOURCE_DIR}/windows/*/*.cpp")
file(GLOB GANTRY_EXPORT_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/boundary/exports_*.cpp")
list(REMOVE_ITEM GANTRY_WINDOWS_SOURCES ${GANTRY_EXPORT_SOURCES})
add_library(gantry_windows OBJECT ${GANTRY_WINDOWS_SOURCES})
target_link_libraries(gantry_windows PUBLIC gantry_core gantry_jni ${GANTRY_SYSTEM_LIBRARIES})

include(cmake/Exports.cmake)

add_library(Gantry SHARED ${GANTRY_EXPORT_SOURCES} "${GANTRY_DEF_FILE}"
  "${PROJECT_SOURCE_DIR}/boundary/gantry.rc")
set_target_properties(Gantry PROPERTIES PREFIX "" OUTPUT_NAME Gantry)
target_link_libraries(Gantry PRIVATE gantry_windows gantry_gui_pe_settings)
set_property(TARGET Gantry APPEND PROPERTY LINK_DEPENDS "${GANTRY_DEF_FILE}")

add_subdirectory(tools/gantry-cli)
add_subdirectory(tests/client)
# The Windows benchmark program (bench/run.sh runs it; not a test).
add_subdirectory(bench/windows)
# Test fixtures made at build time (client packages, cabinets, helper DLLs):
# one folder each under tests/fixtures, with its own CMakeLists.txt.
file(GLOB _fixture_lists CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/tests/fixtures/*/CMakeLists.txt")
foreach(_list IN LISTS _fixture_lists)
  get_filename_component(_dir "${_list}" DIRECTORY)
  add_subdirectory("${_dir}")
endforeach()

option(GANTRY_RUN_WINDOWS_TESTS "Register the Windows test programs with ctest (they run under Wine on x64, natively on a Windows machine)" OFF)
if(GANTRY_ARCH STREQUAL "x64")
  set(GANTRY_RUN_WINDOWS_TESTS ON)
endif()
add_subdirectory(tests/windows)
