#include "windows/install/basic_client_removal.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "windows/discovery/version_reader.h"
#include "windows/install/basic_client_launch.h"
#include "windows/install/basic_client_paths.h"
#include "windows/install/core/removal_script.h"
#include "windows/shared/unique_resource.h"
#include "windows/shared/wide_text.h"

namespace gantry {

int ScheduleRemovalScriptAtLogon(const std::wstring& scriptPath, RegistryValueWriter writeValue) {
  UniqueHkey runOnce;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, AsWide(kRunOnceKey).data(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_READ | KEY_WRITE, nullptr, runOnce.put(), nullptr) != ERROR_SUCCESS) {
    return 0;
  }
  const std::wstring command = ToWide(RunOnceCommand(AsUtf16(scriptPath)));
  const LONG written = writeValue(runOnce.get(), AsWide(kRunOnceValueName).data(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(command.c_str()),
                                  static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  return written == ERROR_SUCCESS ? 1 : 0;
}

int CleanBasicClientOnRestart() {
  ClientVersion version;
  ReadClientVersion(version);
  // Paths that do not fit 260 units leave nothing to schedule or start.
  const std::optional<BasicClientPaths> paths = MakeBasicClientPaths();
  if (!paths) return 0;
  if (PassesSelfRegistrationTest(version)) {
    // The client program removes the basic client itself; no RunOnce entry.
    // Without it in B there is no basic client left for it to clean.
    if (GetFileAttributesW(paths->program.c_str()) == INVALID_FILE_ATTRIBUTES) {
      const DWORD error = GetLastError();
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 1;
    }
    return RunClientSwitch(paths->program, L"-regcleanbasic") == DWORD{0} ? 1 : 0;
  }
  return ScheduleRemovalScriptAtLogon(paths->script);
}

int RunRemovalScriptNow() {
  const std::optional<BasicClientPaths> paths = MakeBasicClientPaths();
  if (!paths) return 1;
  SHELLEXECUTEINFOW info = {};
  info.cbSize = sizeof(info);
  // No UI: a missing script must not stop the caller in a modal shell box.
  info.fMask = SEE_MASK_FLAG_NO_UI;
  info.lpVerb = L"open";
  info.lpFile = paths->script.c_str();
  info.nShow = SW_SHOWNOACTIVATE;
  ShellExecuteExW(&info);  // not waited for; a failed start goes unnoticed
  return 1;
}

}  // namespace gantry
