// Where the library is when a child run crashes or hangs, without unwinding
// a stack: the library's imports of the package reader's platform calls
// (msi.dll's database functions, setupapi.dll's cabinet walk) are routed
// through wrappers that keep a small stack of the calls in progress on the
// working thread, with the time each one began. The cabinet walk's callback
// is wrapped too, so a callback running inside the walk counts as the
// library's own code, not as the walk.
#pragma once

#include <windows.h>

#include <string>

namespace gantry::testing {

struct PlatformCallInProgress {
  std::string call;    // innermost platform call, e.g. "MsiOpenDatabaseW"; empty: the library's own code
  DWORD elapsedMs = 0;  // how long that one invocation has been running
};

// Patches `library`'s import address table. False when one of the watched
// functions is imported but could not be patched.
bool WatchLibraryPlatformCalls(HMODULE library);

// The innermost call; read on the faulting thread, or while the working
// thread is suspended.
PlatformCallInProgress CurrentPlatformCall();

}  // namespace gantry::testing
