#pragma once

// Removal of the per-user basic client: its removal script is either
// scheduled for the user's next logon or run at once.

namespace gantry {

// Schedules the removal script to run at the next logon (RunOnce value
// "ClearKuvBasicClient"), or, when the associated client registers itself,
// has the basic client's own program clean up with "-regcleanbasic".
// Returns 1 or 0.
int CleanBasicClientOnRestart();

// Starts the removal script "RemoveBasicClient.bat" in the basic client
// folder without waiting for it and without any user interface. A missing
// script or a failed start goes unnoticed: the result is always 1.
int RunRemovalScriptNow();

}  // namespace gantry
