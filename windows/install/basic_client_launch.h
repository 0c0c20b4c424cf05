// Starting the basic client's own program with one of its maintenance
// switches ("-regext", "-regcleanbasic") and waiting for its answer.
#pragma once

#include <windows.h>

#include <string>

namespace gantry {

// How long a maintenance run of the client program is waited for.
inline constexpr DWORD kClientSwitchTimeoutMs = 10000;

// Starts `program` hidden with `argument`, without any shell message box,
// waits at most kClientSwitchTimeoutMs and returns its exit code. A program
// that cannot be started counts as exit code 0; one still running after the
// wait is left running and gives STILL_ACTIVE (259).
DWORD RunClientSwitch(const std::wstring& program, const wchar_t* argument);

}  // namespace gantry
