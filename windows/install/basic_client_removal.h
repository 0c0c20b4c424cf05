#pragma once

#include <windows.h>

#include <string>

// Removal of the per-user basic client: its removal script is either
// scheduled for the user's next logon or run at once.

namespace gantry {

// Schedules the removal script to run at the next logon (RunOnce value
// "ClearKuvBasicClient"), or, when the associated client registers itself,
// has the basic client's own program clean up with "-regcleanbasic".
// Returns 1 or 0: 0 when the RunOnce key cannot be opened or the value not
// written, or when the client program exists but cannot be started, fails
// or is still running after the wait. With no client program in the basic
// client folder there is nothing for it to clean: 1.
int CleanBasicClientOnRestart();

// The platform's RegSetValueExW, or a stand-in in tests: the one registry
// answer that cannot be forced for real once the key is open for writing.
using RegistryValueWriter = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);

// Writes the RunOnce value that runs `scriptPath` at the next logon. 1 when
// the key was opened and the value written, else 0.
int ScheduleRemovalScriptAtLogon(const std::wstring& scriptPath, RegistryValueWriter writeValue = &RegSetValueExW);

// Starts the removal script "RemoveBasicClient.bat" in the basic client
// folder without waiting for it and without any user interface. A missing
// script or a failed start goes unnoticed: the result is always 1.
int RunRemovalScriptNow();

}  // namespace gantry
