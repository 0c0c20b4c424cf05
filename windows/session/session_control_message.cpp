#include "windows/session/session_control_message.h"

namespace gantry {
namespace {

// Static initialisation, before any export can run: the library's only global.
const UINT registeredSessionControlMessage = RegisterWindowMessageW(kSessionControlMessageName);

}  // namespace

UINT SessionControlMessage() { return registeredSessionControlMessage; }

}  // namespace gantry
