// Questions and commands to running client programs, through the session
// control message exchanged with the client windows (top-level windows that
// carry the property "Kuv_Varnel").
#pragma once

#include <windows.h>

#include <vector>

#include "windows/session/core/session_control_codes.h"

namespace gantry {

inline constexpr wchar_t kClientWindowProperty[] = L"Kuv_Varnel";
// How long one client window may take to answer a question.
inline constexpr UINT kSessionQuestionTimeoutMs = 60000;

// The client windows in EnumWindows order, collected afresh.
std::vector<HWND> CollectClientWindows();

// Sends the question to each client window in turn and stops at the first
// nonzero answer. A window that is hung, times out, has gone or fails the send
// counts as no. No client window: no.
bool AskClientWindows(SessionControlCode code, LPARAM parameter);

// Posts the command to every top-level window; does not wait.
void PostSessionCommand(SessionControlCode code, LPARAM parameter);

// Whether at least one client window exists (nothing is sent to it).
bool IsAnyClientWindow();

// A Java farm identifier as the message's second parameter: sign-extended,
// so the client reads back the same negative int on x64.
inline LPARAM FarmParameter(int farmId) { return static_cast<LPARAM>(farmId); }

}  // namespace gantry
