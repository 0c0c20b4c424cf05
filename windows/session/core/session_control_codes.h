// The codes a client program understands in the first parameter of the
// session control message, and how its answers become the Java results.
#pragma once

namespace gantry {

enum class SessionControlCode : unsigned {
  LogOffAllSessions = 0,         // posted
  DisconnectAllSessions = 1,     // posted
  LogOffFarmSessions = 2,        // posted, farm in the second parameter
  DisconnectFarmSessions = 4,    // posted, farm in the second parameter
  AskFarmSessions = 6,           // sent, nonzero answer: the farm has sessions
  AskNativeDesktopSessions = 12, // sent, nonzero answer: there are native desktop sessions
};

// GetDesktopState's int: 1 when some client has sessions of the farm, 2 otherwise (never 0).
constexpr int DesktopState(bool farmHasSessions) { return farmHasSessions ? 1 : 2; }

}  // namespace gantry
