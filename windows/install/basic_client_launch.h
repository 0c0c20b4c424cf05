// Starting the basic client's own program with one of its maintenance
// switches ("-regext", "-regcleanbasic") and waiting for its answer.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace gantry {

// How long a maintenance run of the client program is waited for.
inline constexpr DWORD kClientSwitchTimeoutMs = 10000;

// Starts `program` hidden with `argument`, without any shell message box,
// waits at most kClientSwitchTimeoutMs and returns its exit code; one still
// running after the wait is left running and gives STILL_ACTIVE (259).
// Nothing when the program could not be started (missing, not a program).
std::optional<DWORD> RunClientSwitch(const std::wstring& program, const wchar_t* argument);

}  // namespace gantry
