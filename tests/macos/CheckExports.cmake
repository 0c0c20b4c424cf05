# Checks that the library exports the 16 Java methods of the macOS build, no
# GetNativeVersion, and no other symbol of its own.
execute_process(COMMAND nm -D --defined-only "${LIBRARY}" OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
set(expected
  CleanBasicClientOnRestart DisconnectAllSessions DisconnectFarmSessions GetDesktopState
  GetKuvClientVersion GetUserKuvFolder InstallBasicClient InstallFullClient IsAnyNativeDesktopSessions
  IsAnySession IsFarmSessions IsKuvClientInstalled LogOffFarmSessions LogoffAllSessions StartSession
  UnregisterExtensions)
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(exported "")
set(others "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] " "" name "${line}")
  if(name MATCHES "^Java_Native_Gantry_(.*)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  elseif(line MATCHES " [TDBR] " AND NOT name MATCHES "^(_init|_fini|_edata|_end|__bss_start)$")
    list(APPEND others "${name}")
  endif()
endforeach()
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  message(FATAL_ERROR "Exported Java methods:\n  ${exported}\nexpected:\n  ${expected}")
endif()
if(others)
  message(FATAL_ERROR "Other symbols exported: ${others}")
endif()
list(LENGTH exported count)
message(STATUS "${count} Java methods exported, no GetNativeVersion, nothing else")
