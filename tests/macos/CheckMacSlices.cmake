# Checks the finished libGantry.jnilib on a Mac: exactly the configured
# slices, each with the oldest macOS it was built for (an arm64 slice never
# below 11.0, the first macOS on Apple silicon), each linking only the
# system's frameworks and libraries.
#   cmake -DLIBRARY=... -DARCHITECTURES="x86_64;arm64" -DDEPLOYMENT_TARGET=10.13 -P CheckMacSlices.cmake
# LIPO and OTOOL may name other programs than the Xcode ones.
if(NOT LIPO)
  set(LIPO lipo)
endif()
if(NOT OTOOL)
  set(OTOOL otool)
endif()
set(failures "")

execute_process(COMMAND "${LIPO}" -archs "${LIBRARY}" OUTPUT_VARIABLE archs OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE result)
separate_arguments(archs UNIX_COMMAND "${archs}")
set(expected_archs ${ARCHITECTURES})
list(SORT archs)
list(SORT expected_archs)
if(NOT result EQUAL 0 OR NOT archs STREQUAL expected_archs)
  list(APPEND failures "slices ${archs}, expected ${expected_archs}")
endif()

foreach(arch IN LISTS ARCHITECTURES)
  set(expected_min "${DEPLOYMENT_TARGET}")
  if(arch STREQUAL "arm64" AND expected_min VERSION_LESS 11.0)
    set(expected_min 11.0)
  endif()
  execute_process(COMMAND "${OTOOL}" -arch "${arch}" -l "${LIBRARY}" OUTPUT_VARIABLE commands RESULT_VARIABLE result)
  # LC_VERSION_MIN_MACOSX gives "version X", LC_BUILD_VERSION "minos X".
  if(result EQUAL 0 AND commands MATCHES
      "cmd LC_(VERSION_MIN_MACOSX|BUILD_VERSION)\n[^\n]*\n *(version|platform [0-9]+\n *minos) ([0-9.]+)")
    set(min "${CMAKE_MATCH_3}")
    if(NOT min VERSION_EQUAL expected_min)
      list(APPEND failures "${arch}: oldest macOS ${min}, expected ${expected_min}")
    else()
      message(STATUS "${arch}: macOS ${min} and later")
    endif()
  else()
    list(APPEND failures "${arch}: no minimum macOS version found by ${OTOOL} -l")
  endif()

  execute_process(COMMAND "${OTOOL}" -arch "${arch}" -L "${LIBRARY}" OUTPUT_VARIABLE linked RESULT_VARIABLE result)
  string(REGEX MATCHALL "\n\t[^ \n]+" entries "${linked}")
  foreach(entry IN LISTS entries)
    string(STRIP "${entry}" entry)
    if(entry MATCHES "libGantry\\.jnilib$")
      continue() # the library's own install name
    endif()
    if(NOT entry MATCHES "^(/System/Library/Frameworks/|/usr/lib/)")
      list(APPEND failures "${arch}: links ${entry}, not a system library")
    endif()
  endforeach()
  if(NOT result EQUAL 0 OR NOT linked MATCHES "/Foundation.framework/")
    list(APPEND failures "${arch}: ${OTOOL} -L does not show Foundation")
  endif()
endforeach()

if(failures)
  string(REPLACE ";" "\n  " failures "${failures}")
  message(FATAL_ERROR "libGantry.jnilib:\n  ${failures}")
endif()
message(STATUS "slices ${archs}, each linking only system libraries")
