# The Java contract: Native/Gantry.java is the one place where the native
# methods are declared. javac -h turns it into the header every export source
# includes, so a signature that drifts from the Java declaration fails to build.

include("${CMAKE_CURRENT_LIST_DIR}/JdkDiscovery.cmake")

set(GANTRY_JAVA_SOURCE "${PROJECT_SOURCE_DIR}/Native/Gantry.java")
set(GANTRY_JNI_HEADER_DIR "${CMAKE_BINARY_DIR}/generated/jni")
set(GANTRY_JAVA_CLASSES_DIR "${CMAKE_BINARY_DIR}/generated/classes")
set(GANTRY_JNI_HEADER "${GANTRY_JNI_HEADER_DIR}/Native_Gantry.h")

add_custom_command(
  OUTPUT "${GANTRY_JNI_HEADER}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${GANTRY_JNI_HEADER_DIR}" "${GANTRY_JAVA_CLASSES_DIR}"
  COMMAND "${GANTRY_JAVAC}" -h "${GANTRY_JNI_HEADER_DIR}" -d "${GANTRY_JAVA_CLASSES_DIR}" "${GANTRY_JAVA_SOURCE}"
  DEPENDS "${GANTRY_JAVA_SOURCE}"
  COMMENT "javac -h Native/Gantry.java"
  VERBATIM)
add_custom_target(gantry_java_header DEPENDS "${GANTRY_JNI_HEADER}")

# The declared methods, read from the Java source: GANTRY_JAVA_METHODS holds
# the names in declaration order, GANTRY_JAVA_PARAMS_<Name> the parameter
# count and GANTRY_JAVA_ARG_BYTES_<Name> the bytes of the native arguments on
# x86 (JNIEnv* and jclass, then 8 for a long or double and 4 for anything
# else), the number in the decorated export name.
file(STRINGS "${GANTRY_JAVA_SOURCE}" _decls REGEX "native[ \t]+[A-Za-z]+[ \t]+[A-Za-z]+[ \t]*\\(")
set(GANTRY_JAVA_METHODS "")
foreach(_decl IN LISTS _decls)
  string(REGEX MATCH "native[ \t]+[A-Za-z]+[ \t]+([A-Za-z]+)[ \t]*\\(([^)]*)\\)" _m "${_decl}")
  set(_name "${CMAKE_MATCH_1}")
  string(STRIP "${CMAKE_MATCH_2}" _params)
  set(_count 0)
  set(_bytes 8)
  if(NOT _params STREQUAL "")
    string(REPLACE "," ";" _param_list "${_params}")
    foreach(_param IN LISTS _param_list)
      string(STRIP "${_param}" _param)
      string(REGEX MATCH "^[A-Za-z.]+" _type "${_param}")
      math(EXPR _count "${_count} + 1")
      if(_type STREQUAL "long" OR _type STREQUAL "double")
        math(EXPR _bytes "${_bytes} + 8")
      else()
        math(EXPR _bytes "${_bytes} + 4")
      endif()
    endforeach()
  endif()
  list(APPEND GANTRY_JAVA_METHODS "${_name}")
  set(GANTRY_JAVA_PARAMS_${_name} ${_count})
  set(GANTRY_JAVA_ARG_BYTES_${_name} ${_bytes})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${GANTRY_JAVA_SOURCE}")
