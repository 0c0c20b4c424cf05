# The JDK every build compiles against: its include/jni.h, its javac (which
# writes the header of the Java contract) and, for the JVM tests, its java.
#
# Where it comes from, first match wins:
#   1. JAVA_HOME, when set. It is the user's explicit choice, so a JAVA_HOME
#      without include/jni.h fails rather than falling back to another JDK.
#   2. On a Mac, the JDK that /usr/libexec/java_home names (GANTRY_JAVA_HOME_TOOL
#      names that program; elsewhere it is unset and this step is skipped).
#   3. The JDK two folders above the resolved javac on the PATH. On a Mac,
#      /usr/bin/javac is a stub with no JDK above it, hence the order.
# None with include/jni.h: configuration stops and says to set JAVA_HOME.
#
# Sets GANTRY_JDK_HOME, GANTRY_JDK_INCLUDE_DIR, GANTRY_JAVAC and GANTRY_JAVA,
# worked out anew on each configuration so that a changed JAVA_HOME counts.

if(CMAKE_HOST_APPLE)
  set(GANTRY_JAVA_HOME_TOOL "/usr/libexec/java_home" CACHE FILEPATH
    "program that prints the home folder of the default JDK")
endif()

set(_gantry_jdk_tried "")
set(_gantry_jdk_home "")

macro(_gantry_try_jdk home how)
  if(_gantry_jdk_home STREQUAL "" AND NOT "${home}" STREQUAL "")
    if(EXISTS "${home}/include/jni.h")
      set(_gantry_jdk_home "${home}")
      set(_gantry_jdk_how "${how}")
    else()
      string(APPEND _gantry_jdk_tried "\n  ${how}: ${home} (no include/jni.h)")
    endif()
  endif()
endmacro()

if(NOT "$ENV{JAVA_HOME}" STREQUAL "")
  _gantry_try_jdk("$ENV{JAVA_HOME}" "JAVA_HOME")
else()
  if(GANTRY_JAVA_HOME_TOOL)
    execute_process(COMMAND "${GANTRY_JAVA_HOME_TOOL}"
      RESULT_VARIABLE _status OUTPUT_VARIABLE _home ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(_status EQUAL 0)
      _gantry_try_jdk("${_home}" "${GANTRY_JAVA_HOME_TOOL}")
    else()
      string(APPEND _gantry_jdk_tried "\n  ${GANTRY_JAVA_HOME_TOOL}: no JDK (${_status})")
    endif()
  endif()
  find_program(_gantry_path_javac javac NO_CACHE NO_CMAKE_FIND_ROOT_PATH)
  if(_gantry_path_javac)
    get_filename_component(_javac_real "${_gantry_path_javac}" REALPATH)
    get_filename_component(_home "${_javac_real}" DIRECTORY)
    get_filename_component(_home "${_home}" DIRECTORY)
    _gantry_try_jdk("${_home}" "javac on the PATH (${_gantry_path_javac})")
  else()
    string(APPEND _gantry_jdk_tried "\n  javac on the PATH: none")
  endif()
endif()

if(_gantry_jdk_home STREQUAL "")
  message(FATAL_ERROR "No JDK with include/jni.h found. Tried:${_gantry_jdk_tried}\n"
    "Set JAVA_HOME to the home folder of a JDK (the folder that holds include/jni.h and bin/javac) "
    "and configure again.")
endif()
foreach(_tool javac java)
  if(NOT EXISTS "${_gantry_jdk_home}/bin/${_tool}")
    message(FATAL_ERROR "The JDK at ${_gantry_jdk_home} (from ${_gantry_jdk_how}) has no bin/${_tool}. "
      "Set JAVA_HOME to the home folder of a full JDK.")
  endif()
endforeach()

set(GANTRY_JDK_HOME "${_gantry_jdk_home}")
set(GANTRY_JDK_INCLUDE_DIR "${GANTRY_JDK_HOME}/include")
set(GANTRY_JAVAC "${GANTRY_JDK_HOME}/bin/javac")
set(GANTRY_JAVA "${GANTRY_JDK_HOME}/bin/java")
message(STATUS "JDK: ${GANTRY_JDK_HOME} (from ${_gantry_jdk_how})")
