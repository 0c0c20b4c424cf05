// The registered window message through which the library talks to running
// client programs. Registered once when the library is loaded; read-only after.
#pragma once

#include <windows.h>

namespace gantry {

inline constexpr wchar_t kSessionControlMessageName[] = L"kuvSessionControl";

// The identifier registered at load; 0 when the registration failed.
UINT SessionControlMessage();

}  // namespace gantry
