# The smoke run: a plain Java program that loads the built library and calls
# every method that has no side effect. On a Mac it is the check of the
# finished libGantry.jnilib; the GNUstep build runs it too.
set(_smoke_source "${CMAKE_CURRENT_LIST_DIR}/smoke/gantry/smoke/SmokeRun.java")
set(_smoke_classes "${CMAKE_BINARY_DIR}/smoke-classes")
add_custom_command(
  OUTPUT "${_smoke_classes}/gantry/smoke/SmokeRun.class"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${_smoke_classes}"
  COMMAND "${GANTRY_JAVAC}" -Xlint:all -Werror -d "${_smoke_classes}" -cp "${GANTRY_JAVA_CLASSES_DIR}" "${_smoke_source}"
  DEPENDS "${_smoke_source}" gantry_java_header
  COMMENT "javac the smoke run"
  VERBATIM)
add_custom_target(gantry_smoke_run ALL DEPENDS "${_smoke_classes}/gantry/smoke/SmokeRun.class")
add_test(NAME macos.SmokeRun
  COMMAND "${GANTRY_JAVA}" -Xcheck:jni -cp "${_smoke_classes}:${GANTRY_JAVA_CLASSES_DIR}"
    gantry.smoke.SmokeRun "$<TARGET_FILE:Gantry>")
set_tests_properties(macos.SmokeRun PROPERTIES
  FAIL_REGULAR_EXPRESSION "WARNING in native method|FATAL ERROR in native method"
  TIMEOUT 60)
