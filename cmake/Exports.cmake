# The export table of Gantry.dll, from the Java contract and the export
# sources: a method is exported once its export source defines it.
#   x64: the plain JNI names.
#   x86: the decorated stdcall names MSVC gives and the JVM looks for,
#        "_Java_Native_Gantry_StartSession@16" (a leading underscore, "@",
#        the argument bytes: JNIEnv*, jclass and the parameters, as read
#        from the Java declaration in JavaContract.cmake).

set(_implemented "")
foreach(_source IN LISTS GANTRY_EXPORT_SOURCES)
  file(STRINGS "${_source}" _lines REGEX "JNICALL[ \t]+Java_Native_Gantry_[A-Za-z]+")
  foreach(_line IN LISTS _lines)
    string(REGEX MATCH "Java_Native_Gantry_([A-Za-z]+)" _m "${_line}")
    list(APPEND _implemented "${CMAKE_MATCH_1}")
  endforeach()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_source}")
endforeach()

set(GANTRY_DEF_FILE "${CMAKE_BINARY_DIR}/generated/Gantry.def")
set(_def "LIBRARY Gantry.dll\nEXPORTS\n")
set(_table "")
foreach(_method IN LISTS GANTRY_JAVA_METHODS)
  set(_bytes ${GANTRY_JAVA_ARG_BYTES_${_method}})
  list(FIND _implemented "${_method}" _index)
  if(_index GREATER_EQUAL 0)
    if(GANTRY_ARCH STREQUAL "x86")
      string(APPEND _def "  _Java_Native_Gantry_${_method}@${_bytes} = Java_Native_Gantry_${_method}@${_bytes}\n")
    else()
      string(APPEND _def "  Java_Native_Gantry_${_method}\n")
    endif()
  endif()
  string(APPEND _table "  {\"${_method}\", ${_bytes}},\n")
endforeach()
file(WRITE "${GANTRY_DEF_FILE}.new" "${_def}")
configure_file("${GANTRY_DEF_FILE}.new" "${GANTRY_DEF_FILE}" COPYONLY)

# Every method of the Java contract with the bytes of its native arguments,
# whether an export source defines it or not: the tests require each of them
# from the built DLL by its exact name.
set(GANTRY_EXPORT_TABLE "${CMAKE_BINARY_DIR}/generated/gantry_export_table.inc")
file(WRITE "${GANTRY_EXPORT_TABLE}.new" "// Generated from Native/Gantry.java: {method, argument bytes on x86}\n${_table}")
configure_file("${GANTRY_EXPORT_TABLE}.new" "${GANTRY_EXPORT_TABLE}" COPYONLY)
