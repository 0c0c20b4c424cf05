# Runs the JDK discovery in a small probe project under environments made up
# for each case, with stand-in JDKs: a real one (REAL_JDK), another "JDK" that
# only has the files discovery looks at, a folder that is no JDK, and a
# Mac-like /usr/bin/javac stub with no JDK above it.
#   cmake -DSOURCE_ROOT=... -DREAL_JDK=... -DSCRATCH=... -P CheckJdkDiscovery.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${SCRATCH}")
set(other_jdk "${SCRATCH}/other-jdk")
set(not_a_jdk "${SCRATCH}/not-a-jdk")
set(stub_bin "${SCRATCH}/stub/usr/bin")
file(MAKE_DIRECTORY "${other_jdk}/include" "${other_jdk}/bin" "${not_a_jdk}/bin" "${stub_bin}")
file(WRITE "${other_jdk}/include/jni.h" "")
foreach(program "${other_jdk}/bin/javac" "${other_jdk}/bin/java" "${not_a_jdk}/bin/javac" "${stub_bin}/javac")
  file(WRITE "${program}" "#!/bin/sh\nexit 1\n")
  file(CHMOD "${program}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()
# Stand-ins for /usr/libexec/java_home: one names a JDK, one names no JDK,
# one fails as it does on a Mac without any JDK.
file(WRITE "${SCRATCH}/java_home-real" "#!/bin/sh\necho '${REAL_JDK}'\n")
file(WRITE "${SCRATCH}/java_home-none" "#!/bin/sh\necho '${not_a_jdk}'\n")
file(WRITE "${SCRATCH}/java_home-fails" "#!/bin/sh\necho 'Unable to locate a Java Runtime.' >&2\nexit 1\n")
foreach(tool real none fails)
  file(CHMOD "${SCRATCH}/java_home-${tool}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()

find_program(ninja ninja REQUIRED)
set(failures 0)
# case: name, JAVA_HOME ("-" for unset), java_home stand-in ("-" for none),
# folder first on the PATH, expected JDK ("FAIL": configuration stops naming JAVA_HOME)
set(cases
  "JAVA_HOME without include/jni.h fails|${not_a_jdk}|-|${other_jdk}/bin|FAIL"
  "JAVA_HOME wins over java_home and the PATH|${REAL_JDK}|${SCRATCH}/java_home-none|${other_jdk}/bin|${REAL_JDK}"
  "java_home names the JDK when JAVA_HOME is unset|-|${SCRATCH}/java_home-real|${other_jdk}/bin|${REAL_JDK}"
  "java_home without a JDK: javac on the PATH|-|${SCRATCH}/java_home-fails|${other_jdk}/bin|${other_jdk}"
  "no JAVA_HOME, no java_home: javac on the PATH|-|-|${other_jdk}/bin|${other_jdk}"
  "a Mac's javac stub and no JDK fails|-|${SCRATCH}/java_home-fails|${stub_bin}|FAIL"
  "java_home naming no JDK, then the stub, fails|-|${SCRATCH}/java_home-none|${stub_bin}|FAIL")
set(index 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 name)
  list(GET case 1 java_home_env)
  list(GET case 2 tool)
  list(GET case 3 path_first)
  list(GET case 4 expected)
  math(EXPR index "${index} + 1")
  set(build "${SCRATCH}/build-${index}")
  set(env_args --unset=JAVA_HOME "PATH=${path_first}:$ENV{PATH}")
  if(NOT java_home_env STREQUAL "-")
    list(APPEND env_args "JAVA_HOME=${java_home_env}")
  endif()
  set(tool_arg "-DGANTRY_JAVA_HOME_TOOL=")
  if(NOT tool STREQUAL "-")
    set(tool_arg "-DGANTRY_JAVA_HOME_TOOL=${tool}")
  endif()
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env ${env_args}
      "${CMAKE_COMMAND}" -G Ninja "-DCMAKE_MAKE_PROGRAM=${ninja}" "${tool_arg}"
      "-DGANTRY_SOURCE_ROOT=${SOURCE_ROOT}" -S "${SOURCE_ROOT}/tests/build/jdk-probe" -B "${build}"
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(expected STREQUAL "FAIL")
    if(status EQUAL 0)
      set(problem "configuration succeeded")
    elseif(NOT output MATCHES "Set JAVA_HOME to the home folder of a JDK")
      set(problem "the message does not say to set JAVA_HOME:\n${output}")
    else()
      set(problem "")
    endif()
  elseif(NOT status EQUAL 0)
    set(problem "configuration failed:\n${output}")
  else()
    file(READ "${build}/chosen-jdk.txt" chosen)
    if(chosen STREQUAL expected)
      set(problem "")
    else()
      set(problem "chose ${chosen}, expected ${expected}")
    endif()
  endif()
  if(problem STREQUAL "")
    message(STATUS "PASS ${name}")
  else()
    message(STATUS "FAIL ${name}: ${problem}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} JDK discovery case(s) failed")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
