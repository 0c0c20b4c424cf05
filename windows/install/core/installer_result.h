// Which Windows Installer results mean the client is installed. Windows
// Installer reports a finished installation that still wants a restart with
// its own success codes; those are installations that worked.
#pragma once

#include <cstdint>

namespace gantry {

inline constexpr std::uint32_t kInstallerSucceeded = 0;               // ERROR_SUCCESS
inline constexpr std::uint32_t kInstallerServiceUnreachable = 1601;   // ERROR_INSTALL_SERVICE_FAILURE
inline constexpr std::uint32_t kInstallerUserCancelled = 1602;        // ERROR_INSTALL_USEREXIT
inline constexpr std::uint32_t kInstallerFatalError = 1603;           // ERROR_INSTALL_FAILURE
inline constexpr std::uint32_t kInstallerRestartStarted = 1641;       // ERROR_SUCCESS_REBOOT_INITIATED
inline constexpr std::uint32_t kInstallerRestartRequired = 3010;      // ERROR_SUCCESS_REBOOT_REQUIRED

enum class DirectInstallOutcome {
  Installed,              // true, nothing shown
  RunInstallerProgram,    // the service cannot be reached from this process: "msiexec"
  Failed,                 // the error box, then false
};

// The outcome of MsiInstallProductW's result. A cancelled installation counts
// as done: the user chose it and has nothing to be told.
DirectInstallOutcome ClassifyDirectInstallResult(std::uint32_t result);

// Whether the exit code of the installer program "msiexec" means installed.
// A cancelled installation is a failure here: the program reports it with
// its own exit code and the Java side asked for the client.
bool IsInstalledExitCode(std::uint32_t exitCode);

}  // namespace gantry
