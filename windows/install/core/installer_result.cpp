#include "windows/install/core/installer_result.h"

namespace gantry {

namespace {
bool IsSuccessCode(std::uint32_t code) {
  return code == kInstallerSucceeded || code == kInstallerRestartRequired || code == kInstallerRestartStarted;
}
}  // namespace

DirectInstallOutcome ClassifyDirectInstallResult(std::uint32_t result) {
  if (IsSuccessCode(result) || result == kInstallerUserCancelled) return DirectInstallOutcome::Installed;
  if (result == kInstallerServiceUnreachable) return DirectInstallOutcome::RunInstallerProgram;
  return DirectInstallOutcome::Failed;
}

bool IsInstalledExitCode(std::uint32_t exitCode) { return IsSuccessCode(exitCode); }

}  // namespace gantry
